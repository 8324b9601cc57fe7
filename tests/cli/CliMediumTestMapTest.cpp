// The medium test on the command line keeps its map on disk while it runs: a test killed
// midway leaves what it had found, in the program folder and in the file --map names.

#include "cli/CliProcess.h"
#include "core/RescueMap.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/MediaImages.h"
#include "support/TempProgramDir.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::contentOf;
using test::FaultyMedium;

QStringList mapsIn(const QString& programDir) {
    return QDir(programDir + QStringLiteral("/maps"))
        .entryList({QStringLiteral("*")}, QDir::Files | QDir::Hidden);
}

TEST(CliMediumTestMapTest, AKilledTestLeavesTheGroupsFoundSoFar) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    test::TempProgramDir dir;
    QTemporaryDir devices;
    test::DosDevices drives(dir.path());
    const QString floppy = devices.filePath("floppy.img");
    test::MediaImages::floppy(floppy, "SLOW", 0x1234abcd);
    // A slow drive: the whole test takes about five seconds. Sector 100 is a group of its own.
    FaultyMedium::Options slow;
    slow.bytesPerSecond = 300000;
    FaultyMedium medium(floppy, {{100 * 512 + 3, 100 * 512 + 4}}, slow);
    drives.setDevice('E', medium.path());
    const QString userMap = devices.filePath("test.map");
    const std::vector<ByteRange> badGroup{{100 * 512, 101 * 512}};

    // Killed once the map on disk shows the failing group, long before the end.
    const auto cli = test::startCli(dir.path(), {"test", "E:", "--map", userMap});
    QString mapPath;
    const bool found = QTest::qWaitFor(
        [&] {
            const QStringList maps = mapsIn(dir.path());
            if (maps.size() != 1)
                return false;
            mapPath = dir.path() + QStringLiteral("/maps/") + maps[0];
            return !readMapFile(mapPath).map.unreadable.empty() &&
                   !readMapFile(userMap).map.unreadable.empty();
        },
        30000);
    // A command line that already ended has no process id: kill(0) would hit this test.
    if (const qint64 pid = cli->processId(); pid > 0)
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    test::finishCli(*cli);
    ASSERT_TRUE(found) << mapsIn(dir.path()).join(' ').toStdString();

    const QByteArray left = contentOf(mapPath);
    const MapFileContents map = parseMapFile(left);
    ASSERT_EQ(map.error, QString()) << left.toStdString();
    EXPECT_EQ(map.map.size, 1474560);
    EXPECT_EQ(map.map.unreadable.areas(), badGroup);
    EXPECT_FALSE(map.map.untried.empty()) << "killed midway";
    EXPECT_TRUE(left.contains("# Source:       E:")) << left.toStdString();
    EXPECT_EQ(mapsIn(dir.path()), QStringList{QFileInfo(mapPath).fileName()})
        << "a test has no journal record";
    // The kill may fall between the two files of one commit, so --map's copy may be one commit
    // behind; it is whole all the same and already holds the failing group.
    const MapFileContents copy = readMapFile(userMap);
    EXPECT_EQ(copy.error, QString());
    EXPECT_EQ(copy.map.unreadable.areas(), badGroup);
}

} // namespace
} // namespace fr
