#include "program/ProgramFolder.h"

#include "support/TempProgramDir.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fr {
namespace {

class ProgramFolderTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return work.filePath(name); }

    void put(const QString& name, const QByteArray& content, const char* when) const {
        QDir().mkpath(QFileInfo(path(name)).path());
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        // Written out first: a write at the close would give the file the time of the close.
        ASSERT_TRUE(file.flush());
        ASSERT_TRUE(file.setFileTime(QDateTime::fromString(QLatin1String(when), Qt::ISODate),
                                     QFileDevice::FileModificationTime));
    }
    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    QStringList filesUnder(const QString& folder) const {
        QStringList names;
        QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext())
            names << QDir(folder).relativeFilePath(files.next());
        names.sort();
        return names;
    }

    QTemporaryDir temporary;
    QDir work{temporary.path()};
};

TEST_F(ProgramFolderTest, UserFilesStayProgramFilesFollowNewerShippedOnesAndStraysStayBehind) {
    put("shipped/settings.ini", "0\r\n", "2020-01-01T00:00:00");
    put("shipped/databaza.fgv", "", "2020-01-01T00:00:00");
    put("shipped/drives.fgv", "", "2020-01-01T00:00:00");
    put("shipped/lang/lang.eng", "one\r\n", "2020-01-01T00:00:00");
    // A user's folder copied into the shipped one by hand is not the program's.
    put("shipped/pd/settings.ini", "stray\r\n", "2020-01-01T00:00:00");
    ASSERT_EQ(layOutProgramFolder(path("shipped"), path("user")), QString());
    EXPECT_EQ(read("user/lang/lang.eng"), "one\r\n");
    EXPECT_EQ(filesUnder(path("user")),
              (QStringList{"databaza.fgv", "drives.fgv", "lang/lang.eng", "settings.ini"}));

    // The user works; a newer program ships changed and new files.
    put("user/settings.ini", "3\r\n", "2024-01-01T00:00:00");
    put("user/databaza.fgv", "journal", "2024-01-01T00:00:00");
    put("user/drives.fgv", "register", "2024-01-01T00:00:00");
    put("shipped/settings.ini", "1\r\n", "2030-01-01T00:00:00");
    put("shipped/databaza.fgv", "", "2030-01-01T00:00:00");
    put("shipped/lang/lang.eng", "two\r\n", "2030-01-01T00:00:00");
    put("shipped/lang/lang.ger", "neu\r\n", "2030-01-01T00:00:00");
    ASSERT_EQ(layOutProgramFolder(path("shipped"), path("user")), QString());
    EXPECT_EQ(read("user/settings.ini"), "3\r\n");
    EXPECT_EQ(read("user/databaza.fgv"), "journal");
    EXPECT_EQ(read("user/drives.fgv"), "register");
    EXPECT_EQ(read("user/lang/lang.eng"), "two\r\n");
    EXPECT_EQ(read("user/lang/lang.ger"), "neu\r\n");

    // A program file the user changed since is newer than the shipped copy and stays.
    put("user/lang/lang.eng", "mine\r\n", "2031-01-01T00:00:00");
    ASSERT_EQ(layOutProgramFolder(path("shipped"), path("user")), QString());
    EXPECT_EQ(read("user/lang/lang.eng"), "mine\r\n");

    // The media manager is placed under the name the window starts, and follows a newer build.
    put("mmanager", "1", "2030-01-01T00:00:00");
    ASSERT_EQ(layOutProgramFolder(path("shipped"), path("user"), path("mmanager")), QString());
    EXPECT_EQ(read("user/mmanager.exe"), "1");
    put("mmanager", "2", "2031-01-01T00:00:00");
    ASSERT_EQ(layOutProgramFolder(path("shipped"), path("user"), path("mmanager")), QString());
    EXPECT_EQ(read("user/mmanager.exe"), "2");
    EXPECT_FALSE(QFileInfo::exists(path("user/mmanager.exe.new")));
}

TEST_F(ProgramFolderTest, TheShippedFolderLaysOutTheProgramsFilesAndNothingElse) {
    ASSERT_EQ(layOutProgramFolder(test::TempProgramDir::shippedDataDir(), path("fresh")),
              QString());
    QStringList expected{"databaza.fgv", "drives.fgv", "settings.ini", "web.url"};
    for (int page = 0; page <= 5; ++page)
        expected << QStringLiteral("help/%1.hlp").arg(page);
    for (const char* language : {"cze", "eng", "fra", "ger", "spa", "svk"})
        expected << QStringLiteral("lang/lang.") + language;
    for (const char* skin : {"banana", "classic", "nature"})
        for (const char* part : {"back.bmp", "close.bmp", "colours.ini", "help.bmp", "id3back.bmp",
                                 "minimize.bmp", "open.bmp", "save.bmp", "smback.bmp"})
            expected << QStringLiteral("bits/%1_%2").arg(skin, part);
    expected.sort();
    EXPECT_EQ(filesUnder(path("fresh")), expected);
}

TEST_F(ProgramFolderTest, AProgramFindsItsInstalledFilesAndLaysOutOnlyNewOrOwnFolders) {
    // An installation under a prefix, as the package puts it.
    put("usr/share/fragmentrove/settings.ini", "0\r\n", "2020-01-01T00:00:00");
    put("usr/share/fragmentrove/lang/lang.eng", "one\r\n", "2020-01-01T00:00:00");
    put("usr/libexec/fragmentrove/mmanager", "manager", "2020-01-01T00:00:00");
    QFile(path("usr/libexec/fragmentrove/mmanager"))
        .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(path("usr/bin"));
    const ProgramInstallation installed = ProgramInstallation::of(path("usr/bin"));
    EXPECT_EQ(installed.shippedFolder, path("usr/share/fragmentrove"));
    EXPECT_EQ(installed.mediaManager, path("usr/libexec/fragmentrove/mmanager"));

    // A new folder, and one holding only drive links made ahead, are laid out whole.
    ProgramFolderPreparation prepared = prepareProgramFolder(path("new/deep"), installed, true);
    EXPECT_EQ(prepared.error, QString());
    EXPECT_EQ(read("new/deep/lang/lang.eng"), "one\r\n");
    EXPECT_EQ(read("new/deep/mmanager.exe"), "manager");
    QDir().mkpath(path("links/dosdevices"));
    EXPECT_EQ(prepareProgramFolder(path("links"), installed, false).error, QString());
    EXPECT_EQ(read("links/settings.ini"), "0\r\n");
    EXPECT_FALSE(QFileInfo::exists(path("links/mmanager.exe")));

    // A program folder without a manager (the user removed it) gets none back, but new files.
    put("usr/share/fragmentrove/lang/lang.ger", "neu\r\n", "2030-01-01T00:00:00");
    prepared = prepareProgramFolder(path("links"), installed, true);
    EXPECT_EQ(prepared.error + prepared.warning, QString());
    EXPECT_EQ(read("links/lang/lang.ger"), "neu\r\n");
    EXPECT_FALSE(QFileInfo::exists(path("links/mmanager.exe")));

    // Some other folder, named by mistake, is refused and left as it was.
    put("home/letter.txt", "dear", "2024-01-01T00:00:00");
    prepared = prepareProgramFolder(path("home"), installed, true);
    EXPECT_TRUE(prepared.error.contains(path("home") + QStringLiteral(": not a program folder")))
        << prepared.error.toStdString();
    EXPECT_EQ(filesUnder(path("home")), QStringList{"letter.txt"});

    // Without installed files a new folder cannot be laid out, and the message says where
    // they were looked for.
    const ProgramInstallation none = ProgramInstallation::of(path("elsewhere/bin"));
    prepared = prepareProgramFolder(path("other"), none, true);
    EXPECT_TRUE(prepared.error.contains(none.lookedIn)) << prepared.error.toStdString();
}

} // namespace
} // namespace fr
