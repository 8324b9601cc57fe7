#include "audio/Id3Tag.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fr {
namespace {

QByteArray tagBytes(const Id3Record& record, int track) {
    const auto tag = id3v1Tag(record, track);
    return QByteArray(reinterpret_cast<const char*>(tag.data()), kId3TagSize);
}

Id3Record recordWith(const QString& title) {
    Id3Record record;
    Id3Record::setText(record.Title, title);
    return record;
}

QByteArray readAll(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST(Id3Tag, TextsFillTheirFieldsCutAndZeroPadded) {
    const QByteArray nine = tagBytes(recordWith(QStringLiteral("Nocturnes")), 5);
    EXPECT_EQ(nine.mid(3, 9), "Nocturnes");
    EXPECT_EQ(nine.mid(12, 21), QByteArray(21, '\0'));
    EXPECT_EQ(nine.at(126), 5);

    const QString forty = QStringLiteral("A").repeated(10) + QStringLiteral("B").repeated(30);
    Id3Record record = recordWith(forty);
    EXPECT_EQ(Id3Record::text(record.Title), forty) << "the record keeps the whole title";
    Id3Record::setText(record.Comment, QStringLiteral("c").repeated(29));
    Id3Record::setText(record.Artist, QStringLiteral("Dvořák & Škroup"));
    const QByteArray tag = tagBytes(record, 12);
    EXPECT_EQ(tag.mid(3, 30), forty.left(30).toLatin1());
    EXPECT_EQ(tag.mid(97, 28), QByteArray(28, 'c'));
    EXPECT_EQ(tag.at(125), 0) << "the track number must stay readable";
    EXPECT_EQ(tag.at(126), 12);
    // ISO-8859-1 has "á" but neither "ř" nor "Š".
    EXPECT_EQ(tag.mid(33, 16), QByteArray("Dvo?\xe1k & ?kroup\0", 16));

    // A short year replaces a longer one whole.
    Id3Record::setText(record.Year, QStringLiteral("1987"));
    Id3Record::setText(record.Year, QStringLiteral("99"));
    EXPECT_EQ(tagBytes(record, 1).mid(93, 4), QByteArray("99\0\0", 4));
}

TEST(Id3Tag, GenreCodeIsThePositionInTheDialogsListPlusOne) {
    const QStringList& genres = genreTable();
    ASSERT_EQ(genres.size(), 148);
    EXPECT_EQ(genres[0], "Blues");
    EXPECT_EQ(genres[1], "Classic Rock");
    EXPECT_EQ(genres[79], "Hard Rock");
    EXPECT_EQ(genres[144], "Trash Metal");
    EXPECT_EQ(genres[146], "Jpop");
    EXPECT_EQ(genres[147], "Synthpop");
    EXPECT_EQ(QStringList(genres).removeDuplicates(), 0);

    Id3Record record;
    record.GenreIndex = 146; // "Synthpop", the dialog's last entry
    EXPECT_EQ(quint8(tagBytes(record, 1).at(127)), 147);
}

TEST(Id3Tag, ANeverEditedTrackGetsAnEmptyTagWithItsNumber) {
    const Id3Records records;
    const QByteArray tag = tagBytes(records[7], 7);
    EXPECT_EQ(tag.left(3), "TAG");
    EXPECT_EQ(tag.mid(3, 123), QByteArray(123, '\0'));
    EXPECT_EQ(tag.at(126), 7);
    EXPECT_EQ(tag.at(127), 1);
    EXPECT_THROW(records[0], std::out_of_range);
    EXPECT_THROW(records[100], std::out_of_range);
}

class Id3FileTest : public testing::Test {
protected:
    QTemporaryDir folder;
    QString file(const char* name) const { return folder.filePath(QLatin1String(name)); }
};

TEST_F(Id3FileTest, ReplacesATagAreaAndAppendsAfterSound) {
    const QByteArray sound = QByteArray("\xff\xfb\x90\x00", 4).repeated(100);
    QByteArray emptyTag(128, '\0');
    emptyTag.replace(0, 3, "TAG");
    writeFile(file("tagged.mp3"), sound + emptyTag);
    writeFile(file("bare.mp3"), sound);
    const Id3Record record = recordWith(QStringLiteral("Largo"));

    WriteId3Tag(file("tagged.mp3"), 3, record);
    EXPECT_EQ(readAll(file("tagged.mp3")), sound + tagBytes(record, 3));
    // The tail is sound, not a tag: it stays.
    WriteId3Tag(file("bare.mp3"), 3, record);
    EXPECT_EQ(readAll(file("bare.mp3")), sound + tagBytes(record, 3));
}

TEST_F(Id3FileTest, AMissingOrShortFileIsAnErrorNamingIt) {
    const Id3Record record;
    try {
        WriteId3Tag(file("none.mp3"), 1, record);
        FAIL() << "a missing file was tagged";
    } catch (const Id3FileError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(file("none.mp3")));
    }
    EXPECT_FALSE(QFile::exists(file("none.mp3"))) << "no file may be made for the tag";
    writeFile(file("short.mp3"), QByteArray(100, 'x'));
    EXPECT_THROW(WriteId3Tag(file("short.mp3"), 1, record), Id3FileError);
    EXPECT_EQ(readAll(file("short.mp3")), QByteArray(100, 'x'));
}

TEST_F(Id3FileTest, ATagReaderFindsEveryField) {
    // Debian's python3 carries the tag library; another python on the path may not.
    const QString python = QStringLiteral("/usr/bin/python3");
    QProcess probe;
    probe.start(python, {"-c", "import mutagen"});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
        GTEST_SKIP() << "python3-mutagen is not installed: scripts/setup installs it";

    Id3Record record;
    Id3Record::setText(record.Title, QStringLiteral("Café Nocturne"));
    Id3Record::setText(record.Artist, QStringLiteral("Orchestra"));
    Id3Record::setText(record.Album, QStringLiteral("Evenings"));
    Id3Record::setText(record.Year, QStringLiteral("2004"));
    Id3Record::setText(record.Comment, QStringLiteral("live"));
    record.GenreIndex = 31; // "Classical", code 32
    writeFile(file("track.mp3"), QByteArray(4000, '\0'));
    WriteId3Tag(file("track.mp3"), 9, record);

    QProcess reader;
    reader.start(python, {"-c",
                          "import sys\n"
                          "from mutagen.id3 import ID3\n"
                          "t = ID3(sys.argv[1])\n"
                          "for k in ('TIT2', 'TPE1', 'TALB', 'TDRC', 'TRCK', 'TCON'):\n"
                          "    print(k, t[k].text[0])\n"
                          "print('COMM', t.getall('COMM')[0].text[0])\n"
                          "print('version', t.version[0], t.version[1])\n",
                          file("track.mp3")});
    ASSERT_TRUE(reader.waitForFinished(20000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(reader.readAllStandardOutput()),
              QStringLiteral("TIT2 Café Nocturne\nTPE1 Orchestra\nTALB Evenings\nTDRC 2004\n"
                             "TRCK 9\nTCON Classical\nCOMM live\nversion 1 1\n"));
}

} // namespace
} // namespace fr
