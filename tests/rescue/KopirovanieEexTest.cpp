// The rescue copy against media that really fail, compared byte for byte with the plain
// step-by-step loop (4 bytes per read, one fill block per failed read), and its end actions.

#include "rescue/KopirovanieEex.h"

#include "core/CopyJob.h"
#include "core/FillBuffers.h"
#include "core/JobSignals.h"
#include "core/LiveJob.h"
#include "core/Settings.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/ReferenceRescue.h"
#include "support/ScriptedPlatform.h"
#include "support/TmpfsMount.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fr {
namespace {

using test::ByteRange;
using test::FaultyMedium;
using namespace std::chrono_literals;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

using test::referenceCopy;
using test::ReferenceResult;

// A platform that lets a test wait for the copy's priority requests.
class WatchedPlatform : public test::ScriptedPlatform {
public:
    bool setIdlePriority(bool idle) override {
        std::lock_guard lock(mutex);
        const bool done = ScriptedPlatform::setIdlePriority(idle);
        changed.notify_all();
        return done;
    }
    bool waitForPriorities(size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return priorities.size() >= count; });
    }
    std::mutex mutex;
    std::condition_variable changed;
};

// One job's state and everything the copy reports, in the order it reported it.
class CopyHarness {
public:
    CopyJob job;
    std::shared_ptr<JobSignals> jobSignals = std::make_shared<JobSignals>();
    FillBuffers buffers;
    WatchedPlatform platform;
    std::vector<std::string> events;
    std::vector<int> percents;
    std::vector<quint32> positions;
    CopyOutcome outcome; // of the last job that ended
    std::mutex mutex;
    std::shared_ptr<LiveJob> live; // the next job's map and record, if any
    ReadOrder order;               // the next job's read order

    explicit CopyHarness(std::uint8_t blockSizeField = 0) {
        std::mt19937 random(1234);
        buffers.setUp(blockSizeField, random);
    }

    std::unique_ptr<KopirovanieEex> engine(const QString& source, const QString& destination,
                                           std::uint8_t fillMode = 0) {
        KopirovanieEexHooks hooks;
        hooks.post = [](std::function<void()> work) {
            work();
        };
        hooks.progress = [this](int percent, std::uint32_t position) {
            std::lock_guard lock(mutex);
            percents.push_back(percent);
            positions.push_back(position);
        };
        hooks.ended = [this](const CopyOutcome& ended) {
            std::lock_guard lock(mutex);
            outcome = ended;
            events.push_back(ended.failure.isEmpty() ? "ended"
                                                     : "failed: " + ended.failure.toStdString());
        };
        return std::make_unique<KopirovanieEex>(KopirovanieEex::Setup{job, jobSignals, buffers,
                                                                      fillMode, platform, source,
                                                                      destination, live, order},
                                                std::move(hooks));
    }

    // Runs the whole job on this thread.
    void copy(const QString& source, const QString& destination, std::uint8_t fillMode = 0) {
        engine(source, destination, fillMode)->run();
    }

    std::vector<std::string> recorded() {
        std::lock_guard lock(mutex);
        return events;
    }
};

// --- Byte for byte the step-by-step loop -------------------------------------------------

struct ExactCase {
    const char* name;
    qint64 size;
    QList<ByteRange> bad;
    std::uint8_t blockSizeField;
    std::uint8_t fillMode;
    quint32 resumeAt = 0;      // a resumed copy starts here
    qint64 oldDestination = 0; // bytes an earlier run left in the destination
    bool shortReads = false;   // a read reaching a bad range returns its good bytes short
    // Failed reads allowed beyond two per area: areas that share one damaged stretch are found
    // by reads that fail in the stretch's middle.
    int extraFailedReads = 0;
};

void PrintTo(const ExactCase& c, std::ostream* out) {
    *out << c.name;
}

class KopirovanieEexExact : public testing::TestWithParam<ExactCase> {};

TEST_P(KopirovanieEexExact, MatchesTheStepByStepLoop) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const ExactCase& c = GetParam();
    FaultyMedium medium(c.size, c.bad, {.shortReads = c.shortReads});
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("rescued.bin"));
    QByteArray old;
    if (c.oldDestination > 0) {
        old = QByteArray(c.oldDestination, '\x5a');
        writeAll(destination, old);
    }

    CopyHarness h(c.blockSizeField);
    h.job.sourceName = QStringLiteral("E:\\disk.img");
    h.job.totalSize = static_cast<quint32>(c.size);
    h.job.position = c.resumeAt;
    h.copy(medium.path(), destination, c.fillMode);

    const auto& fill = c.fillMode == 3 ? h.buffers.fillBufferRandom : h.buffers.fillBufferZero;
    const ReferenceResult expected =
        referenceCopy(readAll(medium.backingPath()), c.bad, old, c.resumeAt, h.job.totalSize, fill);
    const QByteArray got = readAll(destination);
    ASSERT_EQ(got.size(), expected.destination.size());
    for (qint64 i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], expected.destination[i]) << "first difference at byte " << i;
    EXPECT_EQ(h.outcome.position, expected.position);
    EXPECT_EQ(h.outcome.readFailed, expected.readFailed);
    EXPECT_EQ(h.outcome.filledAreas, expected.filled);
    EXPECT_EQ(h.recorded(), std::vector<std::string>{"ended"});

    // A damaged area costs at most two failed reads more than the loop makes there.
    EXPECT_LE(medium.failedReads(), expected.failedReads + 2 * c.bad.size() + c.extraFailedReads);
    ASSERT_FALSE(h.percents.empty());
    EXPECT_EQ(h.percents.back(), qRound(100.0 * expected.position / c.size));
    EXPECT_TRUE(std::is_sorted(h.percents.begin(), h.percents.end()));
    EXPECT_EQ(h.positions.back(), expected.position) << "the last report is where it ended";
}

constexpr qint64 MiB = 1 << 20;

INSTANTIATE_TEST_SUITE_P(
    KopirovanieEex, KopirovanieEexExact,
    testing::Values(
        ExactCase{"healthy_size_not_multiple_of_4", 3 * MiB / 2 + 3, {}, 0, 0},
        ExactCase{"aligned_area_512", 256 * 1024, {{8192, 12288}}, 0, 0},
        ExactCase{"area_at_the_very_start", 64 * 1024, {{0, 10}}, 1, 0},
        ExactCase{"one_byte_inside_a_unit_1024_random", 200 * 1024, {{5001, 5002}}, 1, 3},
        ExactCase{"unaligned_areas_in_the_second_block_2048",
                  2 * MiB + 100,
                  {{MiB + 777, MiB + 5000}, {MiB + 9001, MiB + 9002}, {2 * MiB - 3, 2 * MiB + 10}},
                  2,
                  0,
                  0,
                  0,
                  false,
                  1},
        ExactCase{"long_area_many_fill_blocks_random", 300 * 1024, {{70001, 95000}}, 0, 3},
        ExactCase{"area_in_the_last_block_makes_it_longer", 70001, {{69990, 69991}}, 2, 3},
        ExactCase{"last_bytes_unreadable", 10003, {{10001, 10003}}, 1, 0},
        ExactCase{"fill_mode_out_of_range_writes_zeros", 40000, {{20000, 20004}}, 0, 7},
        ExactCase{"resume_at_odd_position_keeps_head_and_old_tail",
                  300 * 1024,
                  {{100003, 100900}, {200000, 200001}},
                  1,
                  3,
                  4097,
                  400 * 1024},
        ExactCase{"resume_inside_old_shorter_destination",
                  50 * 1024,
                  {{30000, 30100}},
                  0,
                  0,
                  4099,
                  10000},
        // A short read ends inside a 4-byte unit: only its whole units are good.
        ExactCase{"short_read_ends_inside_a_unit", 200 * 1024, {{5001, 5002}}, 0, 0, 0, 0, true},
        ExactCase{"short_reads_in_the_second_block_2048_random",
                  2 * MiB + 100,
                  {{MiB + 777, MiB + 5000}, {MiB + 9001, MiB + 9002}, {2 * MiB - 3, 2 * MiB + 10}},
                  2,
                  3,
                  0,
                  0,
                  true},
        ExactCase{"short_reads_resume_at_odd_position",
                  300 * 1024,
                  {{100003, 100900}, {200001, 200002}},
                  1,
                  0,
                  4097,
                  0,
                  true}),
    [](const testing::TestParamInfo<ExactCase>& info) { return std::string(info.param.name); });

// Whatever the order of the reads, the result is the step-by-step loop's: random damaged
// sources, each copied in one of the orders the command line offers.
TEST(KopirovanieEexOrders, EveryReadOrderGivesTheStepByStepResult) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    std::mt19937 random(20261207);
    auto below = [&random](qint64 n) {
        return std::uniform_int_distribution<qint64>(0, n - 1)(random);
    };
    for (int round = 0; round < 24; ++round) {
        const qint64 size = 1 + below(3 * MiB);
        QList<ByteRange> bad;
        for (qint64 areas = below(6); areas > 0; --areas) {
            const qint64 start = below(size);
            const qint64 length = 1 + (below(4) == 0 ? below(300 * 1024) : below(3000));
            bad.append({start, std::min(size, start + length)});
        }
        CopyHarness h(static_cast<std::uint8_t>(below(4)));
        h.order.goodDataFirst = round % 4 != 3;
        h.order.reverse = round % 4 == 1;
        h.order.retries = round % 4 == 2 ? 1 : 0;
        const auto resumeAt = static_cast<quint32>(round % 5 == 4 ? below(size) : 0);
        h.job.totalSize = static_cast<quint32>(size);
        h.job.position = resumeAt;
        FaultyMedium medium(size, bad);
        QTemporaryDir dir;
        const QString destination = dir.filePath(QStringLiteral("rescued.bin"));
        h.copy(medium.path(), destination, 3);

        const ReferenceResult expected =
            referenceCopy(readAll(medium.backingPath()), bad, {}, resumeAt, h.job.totalSize,
                          h.buffers.fillBufferRandom);
        const QByteArray got = readAll(destination);
        const std::string where = "round " + std::to_string(round) + ", size " +
                                  std::to_string(size) + ", " + std::to_string(bad.size()) +
                                  " areas";
        ASSERT_EQ(got.size(), expected.destination.size()) << where;
        for (qint64 i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], expected.destination[i]) << where << ": first difference at " << i;
        EXPECT_EQ(h.outcome.position, expected.position) << where;
        EXPECT_EQ(h.outcome.filledAreas, expected.filled) << where;
        EXPECT_EQ(h.outcome.readFailed, expected.readFailed) << where;
    }
}

// --- Job control and end actions ---------------------------------------------------------

class KopirovanieEexJob : public testing::Test {
protected:
    QTemporaryDir dir;
    CopyHarness h;
    QString source = dir.filePath(QStringLiteral("source.bin"));
    QString destination = dir.filePath(QStringLiteral("rescued.bin"));
    QByteArray content = FaultyMedium::pattern(0, 100003);

    void SetUp() override {
        writeAll(source, content);
        h.job.sourceName = QStringLiteral("E:\\source.bin");
        h.job.totalSize = static_cast<quint32>(content.size());
    }
};

TEST_F(KopirovanieEexJob, EmptySourceCreatesAnEmptyDestinationAndRunsTheEndActions) {
    writeAll(source, {});
    h.job.totalSize = 0;
    h.jobSignals->deleteSource = true;
    h.copy(source, destination);
    EXPECT_TRUE(QFile::exists(destination));
    EXPECT_EQ(readAll(destination).size(), 0);
    EXPECT_FALSE(QFile::exists(source)) << "a copy that reached its end deletes its source";
    EXPECT_EQ(h.recorded(), std::vector<std::string>{"ended"});
}

TEST_F(KopirovanieEexJob, DeleteSourceOnlyAfterACompleteCopy) {
    h.jobSignals->deleteSource = true;
    h.jobSignals->stopRequested = true;
    h.copy(source, destination);
    EXPECT_TRUE(QFile::exists(source)) << "a stopped copy keeps its source";
    EXPECT_EQ(h.outcome.position, 0u);
    EXPECT_EQ(h.recorded(), std::vector<std::string>{"ended"});

    h.jobSignals->stopRequested = false;
    h.copy(source, destination);
    EXPECT_EQ(readAll(destination), content);
    EXPECT_FALSE(QFile::exists(source));
}

TEST_F(KopirovanieEexJob, TheSourceIsDeletedOnlyWhenThisRunReadEveryByteOfIt) {
    h.jobSignals->deleteSource = true;
    // A resumed copy: whether its earlier run needed fill blocks is not known any more. A
    // record whose position lies past the end is no better.
    for (const quint32 from : {4096u, 244u * 100003u}) {
        h.job.position = from;
        h.copy(source, destination);
        EXPECT_EQ(h.outcome.sourceDeletion, SourceDeletion::Kept) << from;
        EXPECT_TRUE(QFile::exists(source)) << from;
    }

    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    FaultyMedium medium(100003, {{5000, 5001}});
    h.job.position = 0;
    h.copy(medium.path(), destination);
    EXPECT_TRUE(h.outcome.readFailed);
    EXPECT_EQ(h.outcome.sourceDeletion, SourceDeletion::Kept) << "it holds the only copy";
    EXPECT_TRUE(QFile::exists(medium.path()));

    // Read whole, but this medium refuses deletion: said, with the system's reason.
    medium.setBadRanges({});
    h.copy(medium.path(), destination);
    EXPECT_EQ(h.outcome.sourceDeletion, SourceDeletion::Failed);
    EXPECT_FALSE(h.outcome.deletionFailure.isEmpty());
}

TEST(KopirovanieEexMediumGone, AMediumThatGoesAwayEndsTheCopyAsAStopAndItsResumeIsExact) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 size = 8 * MiB + 5;
    // Slow enough to be cut off half way.
    FaultyMedium medium(size, {}, {.bytesPerSecond = 8 * MiB, .multithreaded = true});
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("rescued.bin"));
    CopyHarness h;
    h.job.sourceName = QStringLiteral("E:\\disk.img");
    h.job.totalSize = static_cast<quint32>(size);
    h.jobSignals->deleteSource = true;
    auto engine = h.engine(medium.path(), destination);
    engine->start();
    const auto reached = [&h] {
        std::lock_guard lock(h.mutex);
        return h.positions.empty() ? 0u : h.positions.back();
    };
    for (int wait = 0; wait < 1000 && reached() < 2 * MiB; ++wait)
        std::this_thread::sleep_for(10ms);
    medium.disconnect();
    engine->wait();

    EXPECT_EQ(h.recorded(), std::vector<std::string>{"ended"}) << "no failure";
    EXPECT_TRUE(h.outcome.mediumGone);
    EXPECT_FALSE(h.outcome.readFailed) << "nothing is filled after the loss";
    EXPECT_TRUE(h.outcome.filledAreas.empty());
    EXPECT_EQ(h.outcome.sourceDeletion, SourceDeletion::NotAsked);
    const quint32 position = h.outcome.position;
    EXPECT_GE(position, 2 * MiB);
    EXPECT_LT(position, size);
    const QByteArray healthy = readAll(medium.backingPath());
    EXPECT_TRUE(readAll(destination) == healthy.left(position)) << "exactly the bytes handled";

    // Finished later from a healthy copy of the source.
    h.job.position = position;
    h.jobSignals->deleteSource = false;
    h.copy(medium.backingPath(), destination);
    EXPECT_FALSE(h.outcome.mediumGone);
    EXPECT_TRUE(readAll(destination) == healthy);
}

// --- Progress kept on disk ---------------------------------------------------------------

// A job stopped again and again, each run going on where the map and record it left say, ends
// exactly as one uninterrupted run; after every stop, what the map calls read is on the
// destination and what it calls unreadable is where the fill blocks went.
TEST(KopirovanieEexLive, StoppedAtRandomAndResumedFromItsMapItEndsAsOneRun) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 size = 3 * MiB + 7;
    const QList<ByteRange> bad{{100003, 104000}, {MiB + 1, MiB + 2}, {2 * MiB, 2 * MiB + 3000}};
    FaultyMedium medium(size, bad,
                        {.delayMs = 2, .bytesPerSecond = 6 * MiB, .multithreaded = true});
    QTemporaryDir programDir;
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("rescued.bin"));
    CopyHarness h;
    h.job.sourceName = QStringLiteral("E:\\disk.img");
    h.job.destinationName = QStringLiteral("C:\\rescued.bin");
    h.job.totalSize = static_cast<quint32>(size);
    h.job.stampStart(QDateTime::currentDateTime());
    const QByteArray source = readAll(medium.backingPath());
    const QString mapPath = LiveJob::mapPathOf(programDir.path(), h.job);

    std::mt19937 random(23);
    int runs = 0;
    while (h.job.position.load() < h.job.totalSize && runs < 40) {
        ++runs;
        LiveJob::Description description{h.job, true, size, 1, QStringLiteral("test"), {}, {}, {}};
        QString error;
        h.live = LiveJob::begin(programDir.path(), description, &error);
        ASSERT_TRUE(h.live) << error.toStdString();
        h.jobSignals = std::make_shared<JobSignals>();
        auto engine = h.engine(medium.path(), destination);
        engine->start();
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 150));
        engine->stop();
        engine->wait();
        ASSERT_TRUE(h.outcome.failure.isEmpty()) << h.outcome.failure.toStdString();
        EXPECT_EQ(h.live->committedPosition(), h.outcome.position);

        const MapFileContents map = readMapFile(mapPath);
        ASSERT_TRUE(map.error.isEmpty()) << map.error.toStdString();
        const QByteArray written = readAll(destination);
        for (const RescueMap::Block& block : map.map.blocks()) {
            if (block.status != RescueMap::Status::Rescued)
                continue;
            ASSERT_GE(written.size(), block.range.end);
            ASSERT_TRUE(written.mid(block.range.start, block.range.length()) ==
                        source.mid(block.range.start, block.range.length()))
                << "the map calls [" << block.range.start << ", " << block.range.end
                << ") read after run " << runs;
        }
        h.live->retire(true);
        h.job.position = h.outcome.position;
    }
    ASSERT_GE(runs, 3) << "the stops came too late to test anything";
    const ReferenceResult expected =
        referenceCopy(source, bad, {}, 0, h.job.totalSize, h.buffers.fillBufferZero);
    EXPECT_TRUE(readAll(destination) == expected.destination);
    EXPECT_EQ(h.job.position.load(), expected.position);
    const MapFileContents map = readMapFile(mapPath);
    EXPECT_TRUE(map.map.finished());
    EXPECT_EQ(map.map.unreadable, expected.filled);
}

// A map from an earlier run (another tool's, say) is continued: only its untried and unreadable
// areas are read, the bytes it calls read are left as they are on the destination, and a fill
// block never reaches into them.
TEST(KopirovanieEexLive, AGivenMapIsContinuedReadingOnlyWhatItLeftOpen) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 size = 600000;
    // The unreadable place lies 100 bytes before the end of a pending area: its fill block
    // would reach 412 bytes into the read area behind it.
    const QList<ByteRange> bad{{299900, 299904}};
    FaultyMedium medium(size, bad);
    QTemporaryDir programDir;
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("rescued.bin"));
    // What the earlier run put on the destination: read areas hold a mark the copy must keep.
    test::writeFile(destination, QByteArray(size, 'R'));
    RescueMap given = RescueMap::ofRun(size, {0, size}, {});
    given.untried.add({100000, 150001});
    given.unreadable.add({250000, 300000});
    given.unreadable.add({599990, 600000});

    CopyHarness h;
    h.job.sourceName = QStringLiteral("E:\\disk.img");
    h.job.totalSize = static_cast<quint32>(size);
    h.job.position = 100000;
    LiveJob::Description description{h.job, true, size, 1, QStringLiteral("test"), {}, {}, given};
    QString error;
    h.live = LiveJob::begin(programDir.path(), description, &error);
    ASSERT_TRUE(h.live) << error.toStdString();
    h.copy(medium.path(), destination);

    const QByteArray source = readAll(medium.backingPath());
    QByteArray expected(size, 'R');
    auto copied = [&](qint64 from, qint64 to) {
        expected.replace(from, to - from, source.mid(from, to - from));
    };
    copied(100000, 150001);
    copied(250000, 299900);
    expected.replace(299900, 100, QByteArray(100, '\0')); // the fill block, cut at the area's end
    copied(599990, 600000);
    const QByteArray got = readAll(destination);
    ASSERT_EQ(got.size(), expected.size());
    for (qint64 i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], expected[i]) << "first difference at byte " << i;
    EXPECT_EQ(h.outcome.position, size);
    EXPECT_EQ(h.outcome.filledAreas.areas(), (std::vector<ByteRange>{{299900, 300000}}));
    const MapFileContents map = readMapFile(LiveJob::mapPathOf(programDir.path(), h.job));
    EXPECT_EQ(map.map.unreadable.areas(), (std::vector<ByteRange>{{299900, 300000}}));
    EXPECT_TRUE(map.map.finished());
}

TEST_F(KopirovanieEexJob, PauseMovesNoByteAndStopWhilePausedEndsTheJob) {
    h.jobSignals->paused = true;
    auto engine = h.engine(source, destination);
    engine->start();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(readAll(destination).size(), 0) << "opened, but nothing written while paused";
    EXPECT_TRUE(engine->isRunning());

    h.jobSignals->paused = false;
    engine->wait();
    EXPECT_EQ(readAll(destination), content);

    // A second job, stopped while paused.
    h.events.clear();
    h.jobSignals->paused = true;
    auto paused = h.engine(source, dir.filePath(QStringLiteral("second.bin")));
    paused->start();
    std::this_thread::sleep_for(50ms);
    paused->stop();
    paused->wait();
    EXPECT_EQ(h.outcome.position, 0u);
    EXPECT_EQ(h.recorded(), std::vector<std::string>{"ended"});
}

TEST_F(KopirovanieEexJob, PriorityFollowsOnlyChangesDuringTheJob) {
    // Checked at the start: nothing is applied.
    h.jobSignals->lowPriority = true;
    h.copy(source, destination);
    EXPECT_TRUE(h.platform.priorities.empty());

    // Unchecked and checked again while the job runs (paused, so it is still running); a
    // system that refuses does not end the job.
    h.platform.priorityRefused = true;
    h.jobSignals->paused = true;
    const QString second = dir.filePath(QStringLiteral("second.bin"));
    auto engine = h.engine(source, second);
    engine->start();
    // The box's state is taken before the destination is opened.
    while (!QFile::exists(second))
        std::this_thread::sleep_for(1ms);
    h.jobSignals->lowPriority = false;
    EXPECT_TRUE(h.platform.waitForPriorities(1));
    h.jobSignals->lowPriority = true;
    EXPECT_TRUE(h.platform.waitForPriorities(2));
    h.jobSignals->paused = false;
    engine->wait();
    EXPECT_EQ(h.platform.priorities, (std::vector<bool>{false, true}));
    EXPECT_EQ(readAll(second), content);
}

TEST_F(KopirovanieEexJob, AFailureOtherThanReadingIsReportedOnceWithoutEndActions) {
    h.jobSignals->deleteSource = true;
    // Every write to this device fails with "no space left".
    h.copy(source, QStringLiteral("/dev/full"));
    const std::vector<std::string> events = h.recorded();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "failed: " + std::generic_category().message(ENOSPC));
    EXPECT_TRUE(QFile::exists(source));
    EXPECT_EQ(h.outcome.position, 0u);

    h.events.clear();
    h.copy(dir.filePath(QStringLiteral("missing.bin")), destination);
    EXPECT_EQ(h.recorded(),
              std::vector<std::string>{"failed: " + std::generic_category().message(ENOENT)});

    // A pipe that took the source's name after the page's checks: not waited on, not copied.
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    h.events.clear();
    h.copy(pipe, destination);
    EXPECT_EQ(h.recorded(),
              std::vector<std::string>{"failed: " + std::generic_category().message(EINVAL)});
}

TEST_F(KopirovanieEexJob, AFullDestinationEndsWherePositionSays) {
    QString why;
    if (!test::TmpfsMount::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QString root = dir.filePath(QStringLiteral("small"));
    QDir().mkpath(root);
    test::TmpfsMount volume(root, 1500 * 1024);
    ASSERT_TRUE(volume.mounted()) << volume.error().toStdString();
    content = FaultyMedium::pattern(0, 8 << 20);
    writeAll(source, content);
    h.job.totalSize = static_cast<quint32>(content.size());
    // Resumed at an odd place, so that the write that fills the volume ends inside a unit.
    h.job.position = 4097;

    const QString full = root + QStringLiteral("/rescued.bin");
    h.copy(source, full);
    EXPECT_EQ(h.recorded(),
              std::vector<std::string>{"failed: " + std::generic_category().message(ENOSPC)});
    // A resume from the position redoes nothing and leaves no gap: the destination holds the
    // source's bytes up to it, and nothing after it.
    const quint32 position = h.outcome.position;
    EXPECT_GT(position, 1000u * 1024);
    EXPECT_EQ((position - 4097) % 4, 0u);
    const QByteArray written = readAll(full);
    EXPECT_EQ(written.size(), position);
    EXPECT_TRUE(written.mid(4097) == content.mid(4097, position - 4097));
}

TEST_F(KopirovanieEexJob, ASourceShorterThanItsRecordedSizeEndsWithFillBlocks) {
    // The journal says more than the file now holds: the missing bytes are unreadable.
    h.job.totalSize = static_cast<quint32>(content.size() + 1000);
    h.copy(source, destination);
    EXPECT_TRUE(h.outcome.readFailed);
    EXPECT_EQ(h.outcome.position, content.size() + 2 * 512u);
    EXPECT_EQ(readAll(destination).left(content.size()), content);
    EXPECT_EQ(h.recorded(), std::vector<std::string>{"ended"});
}

} // namespace
} // namespace fr
