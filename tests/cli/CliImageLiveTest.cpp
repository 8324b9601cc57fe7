// Image jobs on the command line that do not end as planned: killed outright and finished by a
// later resume, byte for byte; and a map of an earlier rescue, by another tool, taken up by
// image --map, which then reads only what the map leaves to read.

#include "cli/CliProcess.h"
#include "core/RescueMap.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/RunningRecord.h"
#include "support/TempProgramDir.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

namespace fr {
namespace {

using test::CliResult;
using test::contentOf;
using test::FaultyMedium;
using test::runCli;

constexpr qint64 kSize = 1 << 20;
// A medium read at kSpeed takes 4 seconds: the first commit after the start comes in the middle.
constexpr qint64 kSlowSize = 4 << 20;
constexpr qint64 kSpeed = 1 << 20;
constexpr qint64 kGroup = 32 * 512;

class CliImageLiveTest : public testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!FaultyMedium::available(&why))
            GTEST_SKIP() << why.toStdString();
        drives.setRoot('D', media.path());
    }

    std::uint32_t recordedPosition() const { return test::runningRecordPosition(dir.path()); }

    // The running job's map in the maps folder.
    RescueMap liveMap() const {
        const QDir maps(dir.file(QStringLiteral("maps")));
        for (const QString& name : maps.entryList({QStringLiteral("*.map")}, QDir::Files))
            return readMapFile(maps.filePath(name)).map;
        return {};
    }

    // Starts the command, kills it outright once its map says some sectors are on the
    // destination's disk and some are still to do, and returns the position its record had.
    std::uint32_t killMidway(const QStringList& arguments, std::uint32_t sectors) {
        const auto cli = test::startCli(dir.path(), arguments);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const RescueMap map = liveMap();
                return recordedPosition() > 0 ||
                       (!map.pending().empty() && map.pending().totalBytes() < map.size);
            },
            30000));
        ::kill(static_cast<pid_t>(cli->processId()), SIGKILL);
        cli->waitForFinished();
        const std::uint32_t reached = recordedPosition();
        EXPECT_LT(reached, sectors) << "the job ended before it was killed";
        return reached;
    }

    std::vector<CopyJob> journal() const {
        return test::journalEntries(dir.file(QStringLiteral("databaza.fgv")));
    }

    // What is left in the maps folder.
    QStringList mapsLeft() const {
        return QDir(dir.file(QStringLiteral("maps"))).entryList(QDir::Files);
    }

    test::TempProgramDir dir;
    QTemporaryDir media;
    test::DosDevices drives{dir.path()};
};

TEST_F(CliImageLiveTest, AKilledImageJobIsJournalledAtTheNextStartAndResumedByteExact) {
    // A bad sector near the start, one near the end; the medium slow enough to be caught.
    const QList<ByteRange> bad = {{2 * kGroup + 7, 2 * kGroup + 8},
                                  {kSlowSize - 1000, kSlowSize - 999}};
    FaultyMedium medium(kSlowSize, bad, {.bytesPerSecond = kSpeed});
    drives.setDevice('E', medium.path());
    const std::uint32_t reached = killMidway({"image", "E:", "D:\\disk.ima"}, kSlowSize / 512);

    // The next start journals the job; the resume reads on from where the record says.
    const CliResult listed = runCli(dir.path(), {"resume"});
    EXPECT_TRUE(listed.out.startsWith("1. ")) << listed.out.toStdString();
    ASSERT_EQ(journal().size(), 1u);
    EXPECT_EQ(journal()[0].position.load(), reached);
    const CliResult resumed = runCli(dir.path(), {"resume", "1"});
    EXPECT_EQ(resumed.exitCode, 1) << resumed.out.toStdString() << resumed.err.toStdString();
    // Good data first may have read much while the position still stood at the first bad
    // sector, where it then says nothing of a start.
    EXPECT_EQ(resumed.out.contains(QStringLiteral("from sector %1").arg(reached)), reached > 0)
        << resumed.out.toStdString();
    // Only the two unreadable sectors are zeros, and both count.
    EXPECT_TRUE(resumed.out.contains(QStringLiteral("%1 bytes, areas: 2").arg(2 * 512)))
        << resumed.out.toStdString();

    QByteArray expected = FaultyMedium::pattern(0, kSlowSize);
    for (const ByteRange& range : bad)
        expected.replace(range.start / 512 * 512, 512, QByteArray(512, '\0'));
    EXPECT_TRUE(contentOf(media.filePath("disk.ima")) == expected);
    EXPECT_TRUE(journal().empty());
    EXPECT_TRUE(mapsLeft().isEmpty()) << mapsLeft().join(' ').toStdString();
}

// Killed again and again at random moments, each run started by the resume the journal offers,
// a restore still ends with the medium exactly the image; after each kill the journal holds the
// job once and its map calls only sectors read that the medium holds.
TEST_F(CliImageLiveTest, ARestoreKilledAtRandomMomentsIsResumedByteExact) {
    // The image is read slowly from its own medium, for about ten seconds; the drive is an image
    // file.
    constexpr qint64 kRestoreSize = 10 << 20;
    FaultyMedium image(kRestoreSize, {}, {.bytesPerSecond = kSpeed});
    drives.setRoot('F', image.mountPoint());
    const QString target = media.filePath("target.img");
    test::writeFile(target, QByteArray(kRestoreSize, '\xee'));
    drives.setDevice('E', target);
    const QByteArray expected = FaultyMedium::pattern(0, kRestoreSize);
    killMidway({"-y", "restore", "F:\\disk.img", "E:"}, kRestoreSize / 512);

    std::mt19937 random(
        static_cast<std::mt19937::result_type>(QDateTime::currentMSecsSinceEpoch()));
    int kills = 1;
    for (; kills < 6; ++kills) {
        // The next start journals the killed job; the list shows it once. A kill that came as
        // the finished restore was still on its way out finds nothing to journal: the medium
        // must then be the image already, which the end of the test checks.
        const CliResult listed = runCli(dir.path(), {"resume"});
        if (kills > 1 && journal().empty())
            break;
        EXPECT_TRUE(listed.out.startsWith("1. ")) << listed.out.toStdString();
        ASSERT_EQ(journal().size(), 1u) << "kill " << kills;
        const QByteArray onMedium = contentOf(target);
        const QDir maps(dir.file(QStringLiteral("maps")));
        for (const QString& name : maps.entryList({QStringLiteral("*.map")}, QDir::Files)) {
            const MapFileContents map = readMapFile(maps.filePath(name));
            ASSERT_EQ(map.error, QString());
            for (const RescueMap::Block& block : map.map.blocks()) {
                if (block.status != RescueMap::Status::Rescued)
                    continue;
                ASSERT_TRUE(onMedium.mid(block.range.start, block.range.length()) ==
                            expected.mid(block.range.start, block.range.length()))
                    << "kill " << kills << ": the map calls [" << block.range.start << ", "
                    << block.range.end << ") written";
            }
        }
        const auto cli = test::startCli(dir.path(), {"-y", "resume", "1"});
        QTest::qWait(static_cast<int>(1500 + random() % 2000));
        const qint64 pid = cli->processId();
        if (pid <= 0 || cli->state() != QProcess::Running)
            break; // the restore ended before this kill
        ::kill(static_cast<pid_t>(pid), SIGKILL);
        cli->waitForFinished();
    }
    if (!journal().empty()) {
        const CliResult resumed = runCli(dir.path(), {"-y", "resume", "1"});
        EXPECT_EQ(resumed.exitCode, 0) << resumed.out.toStdString() << resumed.err.toStdString();
    }
    EXPECT_TRUE(contentOf(target) == expected) << kills << " kills";
    std::printf("restore killed %d times\n", kills);
    EXPECT_TRUE(journal().empty());
    EXPECT_TRUE(mapsLeft().isEmpty()) << mapsLeft().join(' ').toStdString();
}

// A map in the mapfile format, made by GNU ddrescuelog: the sectors listed are rescued, the
// others untried.
QString ddrescueMap(const QString& path, qint64 size, const QList<std::pair<int, int>>& rescued) {
    QByteArray list;
    for (const auto& [first, end] : rescued)
        for (int sector = first; sector < end; ++sector)
            list += QByteArray::number(sector) + '\n';
    QProcess tool;
    tool.start(QStringLiteral("ddrescuelog"),
               {"-b", "512", "-s", QString::number(size), "--create-mapfile=+?", path});
    tool.write(list);
    tool.closeWriteChannel();
    if (!tool.waitForFinished() || tool.exitCode() != 0)
        return QStringLiteral("ddrescuelog: ") + QString::fromUtf8(tool.readAllStandardError());
    return {};
}

TEST_F(CliImageLiveTest, AMapOfAnEarlierRescueIsContinuedAndOneOfAnotherSizeRefused) {
    if (QStandardPaths::findExecutable(QStringLiteral("ddrescuelog")).isEmpty())
        GTEST_SKIP() << "ddrescuelog is not installed";
    // An earlier rescue read the start and the end of the medium into the image; the sectors
    // between are still to read. The places it read fail now: reading them again would show.
    const QList<std::pair<int, int>> rescued = {{0, 1000}, {1500, 2048}};
    FaultyMedium medium(kSize, {{100 * 512, 101 * 512}, {1800 * 512, 1801 * 512}});
    drives.setDevice('E', medium.path());
    QByteArray earlier = FaultyMedium::pattern(0, kSize);
    earlier.replace(1000 * 512, 500 * 512, QByteArray(500 * 512, 'x'));
    test::writeFile(media.filePath("disk.ima"), earlier);
    const QString map = media.filePath("disk.map");
    ASSERT_EQ(ddrescueMap(map, kSize, rescued), QString());

    const CliResult continued = runCli(dir.path(), {"image", "E:", "D:\\disk.ima", "--map", map});
    EXPECT_EQ(continued.exitCode, 0) << continued.out.toStdString() << continued.err.toStdString();
    EXPECT_GT(medium.reads(), 0);
    EXPECT_EQ(medium.failedReads(), 0);
    EXPECT_TRUE(contentOf(media.filePath("disk.ima")) == FaultyMedium::pattern(0, kSize));
    const MapFileContents done = readMapFile(map);
    EXPECT_EQ(done.error, QString());
    EXPECT_TRUE(done.map.finished());
    EXPECT_TRUE(done.map.unreadable.empty());

    // A map of a medium of another size says nothing of this one: refused, nothing written.
    const QString other = media.filePath("other.map");
    ASSERT_EQ(ddrescueMap(other, 2 * kSize, rescued), QString());
    const QByteArray otherText = contentOf(other);
    const CliResult refused = runCli(dir.path(), {"image", "E:", "D:\\other.ima", "--map", other});
    EXPECT_EQ(refused.exitCode, 2) << refused.out.toStdString() << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(media.filePath("other.ima")));
    EXPECT_TRUE(contentOf(other) == otherText);
    EXPECT_TRUE(journal().empty());
}

} // namespace
} // namespace fr
