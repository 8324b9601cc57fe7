// The medium test's worker on media that really fail: it must find exactly the groups a
// group-by-group test finds, group 0 included, however its runs fall.

#include "disk/Testovanie.h"

#include "core/RescueMap.h"
#include "support/FaultyMedium.h"
#include "support/LoopDevice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace fr {
namespace {

using test::ByteRange;
using test::FaultyMedium;
using test::LoopDevice;

TDriveInfo volume(std::uint32_t sectorsPerCluster, std::uint64_t bytes) {
    TDriveInfo drive;
    drive.BytesPerSector = 512;
    drive.SectorsPerCluster = sectorsPerCluster;
    drive.ClusterSize = 512 * sectorsPerCluster;
    drive.TotalClusters = bytes / drive.ClusterSize;
    drive.TotalBytes = bytes;
    return drive;
}

// What a test reading one group at a time finds: every group holding a bad byte.
std::vector<std::uint64_t> groupsHolding(const QList<ByteRange>& bad, const TDriveInfo& drive) {
    std::vector<std::uint64_t> groups;
    for (std::uint64_t group = 0; group < drive.TotalClusters; ++group) {
        const qint64 start = static_cast<qint64>(group * drive.ClusterSize);
        const qint64 end = start + drive.ClusterSize;
        for (const ByteRange& range : bad)
            if (range.start < end && range.end > start) {
                groups.push_back(group);
                break;
            }
    }
    return groups;
}

// Hooks run at once on the test's thread, recording what the dialog would be told.
struct Told {
    int damaged = 0;
    std::vector<std::uint64_t> counts;
    std::vector<int> percents;
    int ended = 0;

    TestovanieHooks hooks(const std::function<void(std::uint64_t)>& onCount = {}) {
        TestovanieHooks hooks;
        hooks.post = [](std::function<void()> work) {
            work();
        };
        hooks.damaged = [this] {
            ++damaged;
        };
        hooks.counted = [this, onCount](std::uint64_t groups) {
            counts.push_back(groups);
            if (onCount)
                onCount(groups);
        };
        hooks.progress = [this](int percent) {
            percents.push_back(percent);
        };
        hooks.ended = [this](const TestOutcome&) {
            ++ended;
        };
        return hooks;
    }
};

Testovanie::Setup setupFor(const QString& device, const TDriveInfo& drive) {
    return {device, drive, std::make_shared<std::atomic<bool>>(false), std::chrono::milliseconds(0),
            true};
}

TEST(TestovanieTest, FindsExactlyTheFailingGroupsOfALoopDevice) {
    QString why;
    if (!FaultyMedium::available(&why) || !LoopDevice::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 kRun = 4 << 20;
    struct Case {
        const char* name;
        std::uint32_t sectorsPerCluster;
        QList<ByteRange> bad;
    };
    const std::vector<Case> cases{
        {"healthy", 8, {}},
        {"the boot area", 8, {{100, 101}}},
        {"one sector in the middle of a run", 8, {{kRun + 5 * 512, kRun + 6 * 512}}},
        {"one byte across two groups", 8, {{8191, 8193}}},
        {"an area across the end of a run", 8, {{kRun - 3 * 4096, kRun + 2 * 4096 + 7}}},
        {"two areas in one run", 8, {{2 * kRun, 2 * kRun + 1}, {3 * kRun - 1, 3 * kRun}}},
        {"the last group", 8, {{3 * kRun + 4095, 3 * kRun + 4096}}},
        {"past the end of the device", 8, {{3 * kRun + 4096, 3 * kRun + 4097}}},
        {"in the file system's own overhead at the end", 8, {{3 * kRun - 100, 3 * kRun - 99}}},
        {"sector-sized groups",
         1,
         {{0, 512}, {kRun + 1000, kRun + 1001}, {3 * kRun - 512, 3 * kRun}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Three runs of 4 KiB groups and one group more, so the last run is short. The file
        // system counts fewer clusters than the device holds (its overhead); the test covers
        // the device.
        const qint64 size = 3 * kRun + 4096;
        const TDriveInfo drive = volume(c.sectorsPerCluster, size);
        FaultyMedium medium(size, c.bad);
        LoopDevice loop(medium.path(), {.readOnly = true});
        Told told;
        Testovanie test(setupFor(loop.path(), volume(c.sectorsPerCluster, size - 4 * 4096)),
                        told.hooks());
        const TestOutcome outcome = test.run();

        EXPECT_EQ(outcome.failure, QString());
        EXPECT_FALSE(outcome.stopped);
        const std::uint64_t groups = drive.TotalClusters; // packed: copied first
        EXPECT_EQ(outcome.groupsTested, groups) << "every group, group 0 included";
        const std::vector<std::uint64_t> expected = groupsHolding(c.bad, drive);
        EXPECT_EQ(outcome.failedGroups, expected);
        EXPECT_EQ(outcome.failedCount, expected.size());
        AreaList areas;
        for (const std::uint64_t group : expected)
            areas.add({static_cast<std::int64_t>(group * outcome.groupBytes),
                       static_cast<std::int64_t>((group + 1) * outcome.groupBytes)});
        EXPECT_EQ(outcome.unreadableAreas, areas);
        EXPECT_EQ(told.damaged, expected.empty() ? 0 : 1) << "the flag is set once";
        EXPECT_EQ(told.percents.back(), 100);
        EXPECT_EQ(told.ended, 1);
        // Besides the failing groups' own reads, a damaged area costs at most the large read
        // that met it and one failed probe.
        EXPECT_LE(test.failedReads(),
                  expected.size() + 2 * static_cast<std::uint64_t>(c.bad.size()));
    }
}

// A group's verdict needs one failed read of that group alone. Beyond those, the test may fail
// one large read per damaged stretch, and no more than a test reading 64 groups at once and
// each of them alone after such a read failed: one per window holding damage.
TEST(TestovanieTest, FailsOnlyTheDamagedGroupsAndOneLargeReadPerStretch) {
    QString why;
    if (!FaultyMedium::available(&why) || !LoopDevice::available(&why))
        GTEST_SKIP() << why.toStdString();
    for (const std::uint32_t sectorsPerCluster : {8u, 1u}) {
        SCOPED_TRACE(sectorsPerCluster);
        const qint64 group = 512 * sectorsPerCluster;
        const auto at = [group](qint64 first, qint64 count) {
            return ByteRange{first * group + 1, (first + count) * group - 1};
        };
        // One group; five in a row; across a window boundary (64); two stretches in one window;
        // across the boundary of a large read; and scattered groups with readable ones between.
        const QList<ByteRange> bad{at(5, 1),    at(300, 5),  at(638, 4),   at(1000, 1),
                                   at(1003, 2), at(1535, 3), at(1800, 1),  at(1802, 1),
                                   at(1805, 1), at(1810, 1), at(1830, 20), at(2047, 1)};
        const qint64 size = 2048 * group;
        const TDriveInfo drive = volume(sectorsPerCluster, size);
        FaultyMedium medium(size, bad);
        LoopDevice loop(medium.path(), {.readOnly = true});
        Told told;
        Testovanie test(setupFor(loop.path(), drive), told.hooks());
        const TestOutcome outcome = test.run();

        const std::vector<std::uint64_t> expected = groupsHolding(bad, drive);
        EXPECT_EQ(outcome.failedGroups, expected);
        std::uint64_t stretches = 0;
        std::set<std::uint64_t> windows;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            stretches += i == 0 || expected[i - 1] + 1 != expected[i];
            windows.insert(expected[i] / 64);
        }
        const auto failed = static_cast<std::uint64_t>(medium.failedReads());
        EXPECT_LE(failed, expected.size() + stretches);
        EXPECT_LE(failed, expected.size() + windows.size());
    }
}

// A failed large read whose other groups all read alone was the failure of its last group: the
// volume's last cluster, bad, costs the one failed read badblocks needs for it too.
TEST(TestovanieTest, TheLastGroupOfAFailedReadNeedsNoFailedReadOfItsOwn) {
    QString why;
    if (!FaultyMedium::available(&why) || !LoopDevice::available(&why))
        GTEST_SKIP() << why.toStdString();
    const qint64 group = 4096;
    const qint64 size = 512 * group;
    const TDriveInfo drive = volume(8, size);
    FaultyMedium medium(size, {{size - 10, size - 9}});
    LoopDevice loop(medium.path(), {.readOnly = true});
    Told told;
    Testovanie test(setupFor(loop.path(), drive), told.hooks());
    const TestOutcome outcome = test.run();
    EXPECT_EQ(outcome.failedGroups, std::vector<std::uint64_t>{511});
    EXPECT_EQ(medium.failedReads(), 1);
}

TEST(TestovanieTest, StoppedAfterFortyGroupsHasJudgedExactlyThose) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    // Groups 30 and 45 fail; both lie in the first run the test reads.
    const TDriveInfo drive = volume(1, 200 * 512);
    FaultyMedium medium(200 * 512, {{30 * 512 + 7, 30 * 512 + 8}, {45 * 512, 46 * 512}});
    Testovanie::Setup setup = setupFor(medium.path(), drive);
    const auto stop = setup.stop;
    Told told;
    // The user stops the test when the status line shows 40.
    Testovanie test(std::move(setup), told.hooks([&](std::uint64_t groups) {
        if (groups == 40)
            stop->store(true);
    }));
    const TestOutcome outcome = test.run();
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.groupsTested, 40u);
    EXPECT_EQ(outcome.failedGroups, std::vector<std::uint64_t>{30});
    EXPECT_EQ(told.counts, (std::vector<std::uint64_t>{20, 40}));
    EXPECT_EQ(told.damaged, 1);
    EXPECT_EQ(told.ended, 1);
}

TEST(TestovanieTest, AMediumPulledMidwayEndsTheTestAsAStopWithTheGroupsJudgedBefore) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    // Far more groups than the test reads ahead of its verdicts, so most are still unread when
    // the medium goes.
    constexpr qint64 kBytes = 64 << 20;
    FaultyMedium medium(kBytes, {{3 * 4096 + 10, 3 * 4096 + 11}});
    Told told;
    Testovanie test(setupFor(medium.path(), volume(8, kBytes)), told.hooks([&](std::uint64_t n) {
        if (n == 40)
            medium.disconnect();
    }));
    const TestOutcome outcome = test.run();
    EXPECT_TRUE(outcome.mediumGone);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_GE(outcome.groupsTested, 40u);
    EXPECT_LT(outcome.groupsTested, static_cast<std::uint64_t>(kBytes / 4096));
    EXPECT_EQ(outcome.failedGroups, std::vector<std::uint64_t>{3}) << "the loss fails no group";
    EXPECT_EQ(told.ended, 1);
}

TEST(TestovanieTest, KeepsItsMapOnDiskWhileItRunsAndDropsItAtTheEnd) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    QTemporaryDir programDir;
    constexpr std::int64_t kBytes = 200 * 512;
    FaultyMedium medium(kBytes, {{30 * 512 + 7, 30 * 512 + 8}});
    const LiveJob::Description description =
        Testovanie::liveMap('E', kBytes, 512, QDateTime::currentDateTime());
    Testovanie::Setup setup = setupFor(medium.path(), volume(1, kBytes));
    QString error;
    setup.live = LiveJob::begin(programDir.path(), description, &error);
    ASSERT_TRUE(setup.live) << error.toStdString();
    const QString mapPath = LiveJob::mapPathOf(programDir.path(), description.job);

    // At 40 groups the worker is held until its map is due, so it commits there; at 60 the map
    // on disk is read back while the worker is held again.
    QByteArray midwayText;
    Told told;
    Testovanie test(std::move(setup), told.hooks([&](std::uint64_t groups) {
        if (groups == 40)
            std::this_thread::sleep_for(LiveJob::kInterval + std::chrono::milliseconds(100));
        if (groups == 60) {
            QFile file(mapPath);
            if (file.open(QIODevice::ReadOnly))
                midwayText = file.readAll();
        }
    }));
    const TestOutcome outcome = test.run();

    const MapFileContents midway = parseMapFile(midwayText);
    ASSERT_EQ(midway.error, QString()) << midwayText.toStdString();
    EXPECT_EQ(midway.map.size, kBytes);
    EXPECT_EQ(midway.map.unreadable.areas(), (std::vector<ByteRange>{{30 * 512, 31 * 512}}));
    EXPECT_EQ(midway.map.untried.areas(), (std::vector<ByteRange>{{40 * 512, kBytes}}));
    EXPECT_TRUE(midwayText.contains("E:")) << "the map names the drive it describes";

    EXPECT_EQ(outcome.groupsTested, 200u);
    EXPECT_EQ(outcome.mapFailure, QString());
    EXPECT_EQ(QDir(LiveJob::folderOf(programDir.path())).entryList(QDir::Files), QStringList())
        << "an ended test leaves nothing in the maps folder";
}

TEST(TestovanieTest, CountsOnlyWholeStepsOfTwenty) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    for (const std::uint64_t groups : {19, 20, 41}) {
        FaultyMedium medium(static_cast<qint64>(groups) * 512);
        Told told;
        Testovanie test(setupFor(medium.path(), volume(1, groups * 512)), told.hooks());
        EXPECT_EQ(test.run().groupsTested, groups);
        std::vector<std::uint64_t> steps;
        for (std::uint64_t count = 20; count <= groups; count += 20)
            steps.push_back(count);
        EXPECT_EQ(told.counts, steps) << groups << " groups";
        EXPECT_EQ(told.percents.back(), 100);
    }
}

TEST(TestovanieTest, TheGroupsComeFromTheDeviceItsShortLastOneIncluded) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    // The file system counts 8 clusters; the device holds 10 groups and 100 bytes more.
    FaultyMedium medium(10 * 512 + 100);
    const TDriveInfo drive = volume(1, 8 * 512);
    EXPECT_EQ(Testovanie::groupCount(medium.path(), drive), 11u);
    Told told;
    TestOutcome outcome = Testovanie(setupFor(medium.path(), drive), told.hooks()).run();
    EXPECT_EQ(outcome.groupsTested, 11u);
    EXPECT_EQ(outcome.volumeBytes, 10u * 512 + 100);
    EXPECT_TRUE(outcome.failedGroups.empty());
    EXPECT_EQ(told.damaged, 0);

    // Damage past the file system's count and in the short last group is found.
    medium.setBadRanges({{9 * 512, 9 * 512 + 1}, {10 * 512 + 50, 10 * 512 + 51}});
    outcome = Testovanie(setupFor(medium.path(), drive), told.hooks()).run();
    EXPECT_EQ(outcome.failedGroups, (std::vector<std::uint64_t>{9, 10}));
    EXPECT_EQ(outcome.unreadableAreas.areas(), (std::vector<ByteRange>{{9 * 512, 10 * 512 + 100}}));
}

TEST(TestovanieTest, AMediumOutOfReachIsReportedNotDamaged) {
    Told told;
    Testovanie test(setupFor(QStringLiteral("/nonexistent/medium.img"), volume(1, 100 * 512)),
                    told.hooks());
    const TestOutcome outcome = test.run();
    EXPECT_TRUE(outcome.failure.contains(QStringLiteral("/nonexistent/medium.img")))
        << outcome.failure;
    EXPECT_TRUE(outcome.failedGroups.empty());
    EXPECT_EQ(told.damaged, 0);
    EXPECT_EQ(told.ended, 1);
}

} // namespace
} // namespace fr
