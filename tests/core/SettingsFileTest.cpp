#include "core/SettingsFile.h"

#include "support/TempProgramDir.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fr {
namespace {

using test::TempProgramDir;

class SettingsFileTest : public testing::Test {
protected:
    TempProgramDir dir;
    QString path = dir.file(QStringLiteral("settings.ini"));
    Settings settings;

    QString readFrom(const QByteArray& content) {
        dir.write(QStringLiteral("settings.ini"), content);
        return SettingsFile::read(path, settings);
    }
};

TEST_F(SettingsFileTest, ShippedDefaultsAreEnglishZeroFillSmallBlocksAndClassicSkin) {
    ASSERT_EQ(SettingsFile::read(path, settings), QString());
    EXPECT_EQ(settings.fillMode, 0);
    EXPECT_EQ(settings.language, 2);
    EXPECT_EQ(settings.blockSize, 0);
    EXPECT_EQ(settings.mp3Bitrate, 1);
    EXPECT_EQ(settings.mp3SampleRate, 2);
    EXPECT_EQ(settings.mp3Stereo, 1);
    EXPECT_EQ(settings.skin, 0);
}

TEST_F(SettingsFileTest, KeepsLowEightBitsAndIgnoresTextAfterTheNumber) {
    ASSERT_EQ(readFrom("258\r\n  4 German\r\n1\t(1024)\r\n256\r\n0\r\n5\r\n3\r\n0\r\n1\r\n0\n2"),
              QString());
    EXPECT_EQ(settings.fillMode, 2);
    EXPECT_EQ(settings.language, 4);
    EXPECT_EQ(settings.blockSize, 1);
    EXPECT_EQ(settings.autostartManager, 0);
    EXPECT_EQ(settings.mp3Bitrate, 5);
    EXPECT_EQ(settings.skin, 2);
}

TEST_F(SettingsFileTest, RejectsBadLinesNamingFileLineAndValueAndKeepsTheOldSettings) {
    struct Case {
        QByteArray content;
        QString expected;
    };
    const Case cases[] = {
        {"0\r\n2\r\nbig\r\n0\r\n0\r\n1\r\n3\r\n2\r\n0\r\n1\r\n0\r\n",
         QStringLiteral("line 3 (blockSize): \"big\" is not a number")},
        {"0\r\n2\r\n12abc\r\n0\r\n0\r\n1\r\n3\r\n2\r\n0\r\n1\r\n0\r\n",
         QStringLiteral("line 3 (blockSize): \"12abc\" is not a number")},
        {"0\r\n\r\n0\r\n0\r\n0\r\n1\r\n3\r\n2\r\n0\r\n1\r\n0\r\n",
         QStringLiteral("line 2 (language): \"\" is not a number")},
        {"0\r\n9\r\n0\r\n0\r\n0\r\n1\r\n3\r\n2\r\n0\r\n1\r\n0\r\n",
         QStringLiteral("line 2 (language): 9 is outside the allowed values 0 to 5")},
        {"0\r\n2\r\n0\r\n0\r\n0\r\n1\r\n3\r\n2\r\n0\r\n1\r\n3\r\n",
         QStringLiteral("line 11 (skin): 3 is outside the allowed values 0 to 2")},
        {"-1\r\n2\r\n0\r\n0\r\n0\r\n1\r\n3\r\n2\r\n0\r\n1\r\n0\r\n",
         QStringLiteral("line 1 (fillMode): -1 is outside the allowed values 0 to 3")},
        {"0\r\n2\r\n0\r\n0\r\n0\r\n1\r\n3\r\n2\r\n0\r\n1\r\n",
         QStringLiteral("line 11 (skin) is missing")},
    };
    for (const Case& c : cases) {
        settings = Settings{};
        settings.fillMode = 3;
        const QString error = readFrom(c.content);
        EXPECT_TRUE(error.startsWith(path)) << error.toStdString();
        EXPECT_TRUE(error.contains(c.expected)) << error.toStdString();
        EXPECT_EQ(settings.fillMode, 3) << "a failed read must not change the settings";
    }
}

TEST_F(SettingsFileTest, FieldsThatOnlyKnowOneOrOtherTakeAnyValue) {
    ASSERT_EQ(readFrom("0\r\n2\r\n0\r\n7\r\n200\r\n1\r\n3\r\n2\r\n9\r\n0\r\n0\r\n"), QString());
    EXPECT_EQ(settings.autostartManager, 7);
    EXPECT_EQ(settings.launchManager, 200);
    EXPECT_EQ(settings.mp3Vbr, 9);
}

TEST_F(SettingsFileTest, MissingFileNamesPathAndReason) {
    dir.remove(QStringLiteral("settings.ini"));
    const QString error = SettingsFile::read(path, settings);
    EXPECT_TRUE(error.startsWith(path)) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("No such file"))) << error.toStdString();
}

TEST_F(SettingsFileTest, SavingTwiceWritesIdenticalElevenLineFiles) {
    ASSERT_EQ(readFrom("3\r\n1\r\n2\r\n1\r\n1\r\n5\r\n0\r\n0\r\n1\r\n0\r\n1\r\n12\r\n13\r\n"),
              QString());
    ASSERT_EQ(SettingsFile::write(path, settings), QString());
    QFile first(path);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray once = first.readAll();
    first.close();
    EXPECT_EQ(once, QByteArray("3\r\n1\r\n2\r\n1\r\n1\r\n5\r\n0\r\n0\r\n1\r\n0\r\n1\r\n"));

    Settings reread;
    ASSERT_EQ(SettingsFile::read(path, reread), QString());
    EXPECT_EQ(reread, settings);
    ASSERT_EQ(SettingsFile::write(path, reread), QString());
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), once);
}

TEST_F(SettingsFileTest, ReadOnlyFileIsReadAndGetsItsWriteBitBack) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    ASSERT_EQ(SettingsFile::read(path, settings), QString());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IWUSR);
}

TEST_F(SettingsFileTest, WriteIntoAMissingFolderFailsWithTheReason) {
    const QString nowhere = dir.file(QStringLiteral("missing/settings.ini"));
    const QString error = SettingsFile::write(nowhere, settings);
    EXPECT_TRUE(error.startsWith(nowhere)) << error.toStdString();
}

} // namespace
} // namespace fr
