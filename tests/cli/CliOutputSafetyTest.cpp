// What the command line writes only where it may: a map never over the job's own files, a
// device or the program folder; a copy never into the journal; two jobs never into one file.

#include "cli/CliProcess.h"
#include "core/LanguageTable.h"
#include "core/RescueMap.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/LoopDevice.h"
#include "support/MediaImages.h"
#include "support/TempProgramDir.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fr {
namespace {

using test::CliResult;
using test::contentOf;
using test::runCli;
using test::writeFile;

mode_t modeOf(const QString& path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode : 0;
}

class CliOutputSafetyTest : public testing::Test {
protected:
    void SetUp() override {
        drives.setRoot('D', media.path());
        ASSERT_EQ(language.load(dir.file(QStringLiteral("lang/lang.eng"))), QString());
        writeFile(source, test::FaultyMedium::pattern(0, 300000));
    }
    QString file(const char* name) const { return media.filePath(QLatin1String(name)); }

    test::TempProgramDir dir;
    QTemporaryDir media;
    test::DosDevices drives{dir.path()};
    LanguageTable language;
    const QString source = file("source.bin");
};

TEST_F(CliOutputSafetyTest, AMapThatWouldReplaceAnythingButANewFileOrAMapIsRefusedBeforeTheJob) {
    const QByteArray original = contentOf(source);
    writeFile(file("rescued.bin"), "an earlier rescue");
    writeFile(file("notes.txt"), "not a map");
    ASSERT_TRUE(QFile::link(source, file("link-to-source")));
    const QString nullDevice = file("null");
    ASSERT_EQ(::mknod(QFile::encodeName(nullDevice).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    const QByteArray journal = contentOf(dir.file(QStringLiteral("databaza.fgv")));

    struct Case {
        QString destination;
        QString map;
        int text;
    };
    const Case cases[] = {
        {file("new.bin"), source, 271},
        {file("new.bin"), file("link-to-source"), 271},
        // Not there yet: the copy would create it and the map would replace it.
        {file("new.bin"), file("new.bin"), 271},
        {file("rescued.bin"), file("rescued.bin"), 271},
        {file("new.bin"), nullDevice, 235},
        {file("new.bin"), media.path(), 235},
        {file("new.bin"), dir.file(QStringLiteral("databaza.fgv")), 272},
        {file("new.bin"), dir.file(QStringLiteral("lang/lang.eng")), 272},
    };
    for (const Case& c : cases) {
        const CliResult run =
            runCli(dir.path(), {"copy", source, c.destination, "--map", c.map, "--yes"});
        EXPECT_EQ(run.exitCode, 2) << c.map.toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(language[c.text])) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("Done"))) << c.map.toStdString();
        EXPECT_FALSE(QFile::exists(file("new.bin"))) << "no run for " << c.map.toStdString();
    }
    EXPECT_EQ(contentOf(source), original);
    EXPECT_EQ(contentOf(file("rescued.bin")), "an earlier rescue");
    EXPECT_TRUE(S_ISCHR(modeOf(nullDevice)));
    EXPECT_TRUE(S_ISLNK(modeOf(file("link-to-source"))));
    EXPECT_EQ(contentOf(dir.file(QStringLiteral("databaza.fgv"))), journal);

    // A file that is no map is replaced only when the user says so; nobody to ask is a no.
    const CliResult unasked =
        runCli(dir.path(), {"copy", source, file("new.bin"), "--map", file("notes.txt")});
    EXPECT_EQ(unasked.exitCode, 2) << unasked.err.toStdString();
    EXPECT_TRUE(unasked.err.contains(language[273])) << unasked.err.toStdString();
    EXPECT_EQ(contentOf(file("notes.txt")), "not a map");
    EXPECT_FALSE(QFile::exists(file("new.bin")));
    const CliResult agreed =
        runCli(dir.path(), {"copy", source, file("new.bin"), "--map", file("notes.txt"), "--yes"});
    EXPECT_EQ(agreed.exitCode, 0) << agreed.err.toStdString();
    EXPECT_EQ(readMapFile(file("notes.txt")).map.size, 300000);

    // A link to a map brings the map it names up to date and stays a link.
    ASSERT_TRUE(QFile::link(file("notes.txt"), file("map-link")));
    const CliResult linked =
        runCli(dir.path(), {"copy", source, file("new.bin"), "--map", file("map-link")});
    EXPECT_EQ(linked.exitCode, 0) << linked.err.toStdString();
    EXPECT_TRUE(S_ISLNK(modeOf(file("map-link"))));
    EXPECT_TRUE(contentOf(file("notes.txt")).contains("map-link"));
}

TEST_F(CliOutputSafetyTest, TheProgramFoldersFilesAreNeverACopysDestination) {
    for (const char* name : {"databaza.fgv", "drives.fgv", "settings.ini"}) {
        const QString own = dir.file(QLatin1String(name));
        const QByteArray before = contentOf(own);
        const CliResult run = runCli(dir.path(), {"copy", source, own, "--yes"});
        EXPECT_EQ(run.exitCode, 2) << name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(language[272])) << run.err.toStdString();
        EXPECT_EQ(contentOf(own), before) << name;
    }
}

TEST_F(CliOutputSafetyTest, ImageAndTestMapsNeverReplaceTheImageOrTheDevice) {
    QString why;
    if (!test::LoopDevice::available(&why))
        GTEST_SKIP() << why.toStdString();
    QTemporaryDir devices;
    const QString floppy = devices.filePath(QStringLiteral("floppy.img"));
    test::MediaImages::floppy(floppy, "RESCUE", 0x0badcafe, {{"notes.txt", "hello"}});
    test::LoopDevice loop(floppy);
    drives.setDevice('E', loop.path());
    writeFile(file("old.ima"), "an older image");

    const CliResult imaged =
        runCli(dir.path(), {"image", "E:", "D:\\old.ima", "--map", file("old.ima"), "--yes"});
    EXPECT_EQ(imaged.exitCode, 2) << imaged.err.toStdString();
    EXPECT_TRUE(imaged.err.contains(language[271])) << imaged.err.toStdString();
    EXPECT_EQ(contentOf(file("old.ima")), "an older image");

    const QByteArray medium = contentOf(floppy);
    for (const QStringList& arguments :
         {QStringList{"test", loop.path(), "--map", loop.path()},
          QStringList{"image", "E:", "D:\\new.ima", "--map", loop.path(), "--yes"}}) {
        const CliResult run = runCli(dir.path(), arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString() << run.err.toStdString();
        EXPECT_TRUE(S_ISBLK(modeOf(loop.path()))) << "the device node stays";
    }
    EXPECT_FALSE(QFile::exists(file("new.ima")));
    EXPECT_EQ(contentOf(floppy), medium);

    // Nor is the journal ever an image's file.
    const QByteArray journal = contentOf(dir.file(QStringLiteral("databaza.fgv")));
    const CliResult intoJournal =
        runCli(dir.path(), {"image", "E:", dir.file(QStringLiteral("databaza.fgv")), "--yes"});
    EXPECT_EQ(intoJournal.exitCode, 2) << intoJournal.err.toStdString();
    EXPECT_TRUE(intoJournal.err.contains(language[272])) << intoJournal.err.toStdString();
    EXPECT_EQ(contentOf(dir.file(QStringLiteral("databaza.fgv"))), journal);

    // An image another job is writing is neither emptied nor written.
    const int held = ::open(QFile::encodeName(file("old.ima")).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    const CliResult busy = runCli(dir.path(), {"image", "E:", "D:\\old.ima", "--yes"});
    EXPECT_EQ(busy.exitCode, 2) << busy.err.toStdString();
    EXPECT_TRUE(busy.err.contains(language[270])) << busy.err.toStdString();
    EXPECT_EQ(contentOf(file("old.ima")), "an older image");
    ::close(held);
}

// A job that holds its destination: a second one, whatever asks for it, is refused and writes
// nothing, and the first one's bytes stay as they are.
TEST_F(CliOutputSafetyTest, ASecondJobOnADestinationInUseIsRefusedAndWritesNothing) {
    const QString destination = file("busy.bin");
    writeFile(destination, "being written by another job");
    const int held = ::open(QFile::encodeName(destination).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

    const CliResult run = runCli(dir.path(), {"copy", source, destination, "--yes"});
    EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(language[270])) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(destination)) << run.err.toStdString();
    EXPECT_EQ(contentOf(destination), "being written by another job");
    EXPECT_EQ(QFile(dir.file(QStringLiteral("databaza.fgv"))).size(), 0);

    ::close(held);
    const CliResult free = runCli(dir.path(), {"copy", source, destination, "--yes"});
    EXPECT_EQ(free.exitCode, 0) << free.err.toStdString();
    EXPECT_EQ(contentOf(destination), contentOf(source));
}

} // namespace
} // namespace fr
