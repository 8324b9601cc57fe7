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

// The bytes of the version 2 tag at the start of `mp3`: its header says how many follow it.
qsizetype version2Size(const QByteArray& mp3) {
    if (!mp3.startsWith("ID3") || mp3.size() < 10)
        return 0;
    qsizetype size = 0;
    for (int i = 6; i < 10; ++i)
        size = size * 128 + (quint8(mp3[i]) & 0x7f);
    return 10 + size;
}

TEST_F(Id3FileTest, BothTagsAreWrittenAndRewrittenAroundTheUntouchedSound) {
    const QByteArray sound = QByteArray("\xff\xfb\x90\x00", 4).repeated(100);
    QByteArray emptyTag(128, '\0');
    emptyTag.replace(0, 3, "TAG");
    writeFile(file("tagged.mp3"), sound + emptyTag);
    writeFile(file("bare.mp3"), sound);
    const Id3Record largo = recordWith(QStringLiteral("Largo"));

    WriteId3Tag(file("tagged.mp3"), 3, largo, 12);
    QByteArray mp3 = readAll(file("tagged.mp3"));
    ASSERT_TRUE(mp3.startsWith("ID3\x04")) << "a version 2.4 tag at the start";
    EXPECT_EQ(mp3.mid(version2Size(mp3)), sound + tagBytes(largo, 3));
    // The tail is sound, not a tag: it stays.
    WriteId3Tag(file("bare.mp3"), 3, largo);
    mp3 = readAll(file("bare.mp3"));
    EXPECT_EQ(mp3.mid(version2Size(mp3)), sound + tagBytes(largo, 3));

    // Tagged again with a longer title: one tag of each kind, both new.
    const Id3Record presto = recordWith(QStringLiteral("Presto ").repeated(20));
    WriteId3Tag(file("tagged.mp3"), 4, presto, 12);
    mp3 = readAll(file("tagged.mp3"));
    EXPECT_EQ(mp3.mid(version2Size(mp3)), sound + tagBytes(presto, 4));
    EXPECT_TRUE(mp3.left(version2Size(mp3)).contains("Presto Presto"));
    EXPECT_FALSE(mp3.left(version2Size(mp3)).contains("Largo"));
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

TEST_F(Id3FileTest, ATagReaderFindsEveryTextWholeInVersion2AndCutInVersion1) {
    // Debian's python3 carries the tag library; another python on the path may not.
    const QString python = QStringLiteral("/usr/bin/python3");
    QProcess probe;
    probe.start(python, {"-c", "import mutagen"});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
        GTEST_SKIP() << "python3-mutagen is not installed: scripts/setup installs it";

    const QString title =
        QStringLiteral("Čajkovskij – Labutie jazero, dejstvo druhé: Scéna a valčík č. 2");
    ASSERT_GE(title.size(), 60);
    Id3Record record;
    Id3Record::setText(record.Title, title);
    Id3Record::setText(record.Artist, QStringLiteral("Dvořák & Škroup"));
    Id3Record::setText(record.Album, QStringLiteral("Größte Erfolge"));
    Id3Record::setText(record.Year, QStringLiteral("2004"));
    Id3Record::setText(record.Comment, QStringLiteral("živě"));
    record.GenreIndex = 31; // "Classical", code 32
    EXPECT_TRUE(cutInVersion1(record));
    EXPECT_FALSE(cutInVersion1(recordWith(QStringLiteral("Café Nocturne"))));
    writeFile(file("track.mp3"), QByteArray(4000, '\0'));
    WriteId3Tag(file("track.mp3"), 9, record, 12);

    QProcess reader;
    reader.start(python, {"-c",
                          "import sys\n"
                          "from mutagen.id3 import ID3\n"
                          "t = ID3(sys.argv[1], load_v1=False)\n"
                          "print('version', t.version[0], t.version[1])\n"
                          "for k in ('TIT2', 'TPE1', 'TALB', 'TDRC', 'TRCK', 'TCON'):\n"
                          "    print(k, int(t[k].encoding), t[k].text[0])\n"
                          "print('COMM', t.getall('COMM')[0].text[0])\n",
                          file("track.mp3")});
    ASSERT_TRUE(reader.waitForFinished(20000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(reader.readAllStandardOutput()),
              QStringLiteral("version 2 4\nTIT2 3 %1\nTPE1 3 Dvořák & Škroup\n"
                             "TALB 3 Größte Erfolge\nTDRC 3 2004\nTRCK 3 9/12\n"
                             "TCON 3 Classical\nCOMM živě\n")
                  .arg(title));
    EXPECT_EQ(readAll(file("track.mp3")).right(kId3TagSize), tagBytes(record, 9))
        << "the version 1.1 area keeps its cut and its \"?\"";
}

} // namespace
} // namespace fr
