// A copy killed at any moment, or cut off by a power failure, loses no more than its last few
// seconds: the next start finds it in the journal, its map never claims a byte the destination
// does not hold, and resuming it gives what a copy never interrupted gives. A map another rescue
// tool wrote for the same source is continued; one for another source is refused.

#include "cli/CliProcess.h"
#include "core/CopyJob.h"
#include "core/LiveJob.h"
#include "core/RescueMap.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/ReferenceRescue.h"
#include "support/TempProgramDir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <gtest/gtest.h>
#include <iostream>
#include <random>

namespace fr {
namespace {

using test::ByteRange;
using test::CliResult;
using test::contentOf;
using test::FaultyMedium;

// The copy's fill block with the shipped settings: 512 zero bytes.
const std::vector<std::uint8_t> kZeroFill(512, 0);

// The seed of a run's random moments: FRAGMENTROVE_CRASH_SEED repeats a run that failed.
unsigned crashSeed() {
    bool given = false;
    const unsigned seed = qEnvironmentVariable("FRAGMENTROVE_CRASH_SEED").toUInt(&given);
    return given ? seed : std::random_device{}();
}

class CliCrashTest : public testing::Test {
protected:
    test::TempProgramDir dir;
    QTemporaryDir media; // drive D:
    test::DosDevices drives{dir.path()};
    std::unique_ptr<FaultyMedium> medium; // drive E:
    QList<ByteRange> bad;

    void mountMedium(qint64 size, const QList<ByteRange>& badRanges,
                     FaultyMedium::Options options) {
        bad = badRanges;
        medium = std::make_unique<FaultyMedium>(size, bad, options);
        drives.setRoot('D', media.path());
        drives.setRoot('E', medium->mountPoint());
    }

    // What a copy never interrupted makes of the whole medium.
    test::ReferenceResult reference() const {
        return test::referenceCopy(contentOf(medium->backingPath()), bad, {}, 0,
                                   static_cast<quint32>(medium->size()), kZeroFill);
    }

    QString journalPath() const { return dir.file(QStringLiteral("databaza.fgv")); }
    QStringList mapsFolder(const QString& pattern) const {
        QStringList paths;
        const QDir folder(LiveJob::folderOf(dir.path()));
        for (const QString& name : folder.entryList({pattern}, QDir::Files))
            paths << folder.filePath(name);
        return paths;
    }

    // The record a killed job left in the maps folder; fails the test unless there is exactly
    // one, whole.
    CopyJob runningRecord() const {
        const QStringList records = mapsFolder(QStringLiteral("*.job"));
        CopyJob job;
        EXPECT_EQ(records.size(), 1) << records.join(' ').toStdString();
        if (records.size() == 1) {
            const QByteArray bytes = contentOf(records.front());
            EXPECT_EQ(bytes.size(), CopyJob::kRecordBytes);
            EXPECT_TRUE(job.fromRecord(bytes));
        }
        return job;
    }

    // Starts a run of the job: a copy while the journal holds nothing (a kill before the job
    // began leaves nothing to resume), a resume of its entry afterwards.
    std::unique_ptr<QProcess> startRun(const QString& destination) {
        if (test::journalEntries(journalPath()).empty())
            return test::startCli(dir.path(),
                                  {QStringLiteral("copy"), QStringLiteral("E:\\disk.img"),
                                   destination, QStringLiteral("--yes")});
        return test::startCli(
            dir.path(), {QStringLiteral("resume"), QStringLiteral("1"), QStringLiteral("--yes")});
    }
    // Whether a killed run had begun its job: it left its record.
    bool jobBegan() const { return !mapsFolder(QStringLiteral("*.job")).isEmpty(); }

    // Waits `ms` or until the run ends; then kills it as `kill -9` does. False when it ended by
    // itself first (the copy was done).
    static bool killAfter(QProcess& run, int ms) {
        if (run.waitForFinished(ms))
            return false;
        run.kill();
        run.waitForFinished(10000);
        return true;
    }

    // After a kill, the next start of the command line journals the job: its list shows it,
    // and the journal holds exactly the record the killed run left, at the position it had
    // committed.
    void expectJournalledAfterKill(const QString& destination) {
        const CopyJob left = runningRecord();
        const CliResult listed = test::runCli(dir.path(), {QStringLiteral("resume")});
        EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString();
        EXPECT_TRUE(listed.out.startsWith(QStringLiteral("1. E:\\disk.img -> ") + destination))
            << listed.out.toStdString() << listed.err.toStdString();
        const std::vector<CopyJob> entries = test::journalEntries(journalPath());
        ASSERT_EQ(entries.size(), 1u) << "one entry, never a twin";
        EXPECT_EQ(QFileInfo(journalPath()).size(), CopyJob::kRecordBytes);
        EXPECT_EQ(entries[0].position.load(), left.position.load());
        EXPECT_EQ(entries[0].totalSize, medium->size());
        EXPECT_TRUE(mapsFolder(QStringLiteral("*.job")).isEmpty());
    }

    // Every map in the maps folder parses, describes the medium, and calls read only bytes the
    // destination holds as the reference has them; so does everything before `position`.
    void expectMapsNotAheadOfData(const QString& destinationPath, quint32 position,
                                  const QByteArray& expected) {
        const QByteArray destination = contentOf(destinationPath);
        ASSERT_GE(destination.size(), qsizetype(position)) << "the position is beyond the data";
        EXPECT_TRUE(destination.left(position) == expected.left(position))
            << "bytes before the journalled position differ";
        const QStringList maps = mapsFolder(QStringLiteral("*.map"));
        EXPECT_FALSE(maps.isEmpty());
        for (const QString& path : maps) {
            const MapFileContents map = readMapFile(path);
            ASSERT_EQ(map.error, QString()) << path.toStdString();
            EXPECT_EQ(map.map.size, medium->size());
            for (const RescueMap::Block& block : map.map.blocks()) {
                if (block.status != RescueMap::Status::Rescued)
                    continue;
                const qint64 length = block.range.end - block.range.start;
                EXPECT_TRUE(destination.mid(block.range.start, length) ==
                            expected.mid(block.range.start, length))
                    << "the map calls " << block.range.start << '-' << block.range.end
                    << " read, the destination (" << destination.size()
                    << " bytes) does not hold it";
            }
        }
    }
};

// Twenty kills at random moments of a slow copy from a failing medium, each followed by a
// resume that may be killed again: each time the journal and the map are whole, at most a few
// seconds of reading are done again, and the copy ends as one never interrupted.
TEST_F(CliCrashTest, KilledAtRandomMomentsTheCopyLosesOnlyItsLastSecondsAndEndsExact) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 kRate = 1 << 20; // bytes a second
    constexpr qint64 kSize = 12 << 20;
    mountMedium(
        kSize,
        {{3 << 19, (3 << 19) + 2048}, {5 << 20, (5 << 20) + 1024}, {9 << 20, (9 << 20) + 512}},
        {.delayMs = 100, .bytesPerSecond = kRate, .multithreaded = true});
    const QString destination = QStringLiteral("D:\\rescued.bin");
    const QString destinationPath = media.filePath(QStringLiteral("rescued.bin"));
    const test::ReferenceResult expected = reference();

    const unsigned seed = crashSeed();
    std::cout << "kill moments seeded with " << seed << " (FRAGMENTROVE_CRASH_SEED)\n";
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> moment(400, 2400);
    // Reading that a kill may cost: what was read since the last commit (a commit interval, and
    // the block that was being written when it came due), the blocks read ahead, and the read
    // the killed run left under way, which the medium finishes (and counts) a little later.
    const qint64 kBound = kRate * (std::chrono::seconds(LiveJob::kInterval).count() + 3);

    int kills = 0;
    qint64 mostRereadBytes = 0;
    quint32 position = 0;
    while (kills < 20) {
        const qint64 readBefore = medium->bytesRead();
        const int ms = moment(random);
        const auto run = startRun(destination);
        if (!killAfter(*run, ms))
            break; // the copy finished before this moment
        ++kills;
        SCOPED_TRACE(testing::Message() << "kill " << kills << " after " << ms << " ms");
        if (!jobBegan()) {
            // Killed while starting: nothing of this run to keep, and no twin either.
            EXPECT_LE(test::journalEntries(journalPath()).size(), 1u);
            continue;
        }
        // The killed run's last read may still be under way in the medium.
        QThread::msleep(150);
        const qint64 read = medium->bytesRead() - readBefore;
        const quint32 committed = runningRecord().position.load();
        ASSERT_GE(committed, position) << "a later run never claims less";
        const qint64 reread = read - (committed - position);
        mostRereadBytes = std::max(mostRereadBytes, reread);
        EXPECT_LE(reread, kBound) << read << " bytes read for " << committed - position
                                  << " bytes kept";
        expectJournalledAfterKill(destination);
        expectMapsNotAheadOfData(destinationPath, committed, expected.destination);
        position = committed;
        if (HasFatalFailure())
            return;
    }
    std::cout << kills << " kills; at most " << mostRereadBytes << " bytes read again after one ("
              << double(mostRereadBytes) / kRate << " s of reading); " << medium->failedReads()
              << " failed reads so far, " << expected.failedReads
              << " in the step-by-step rescue\n";

    const auto last = startRun(destination);
    const CliResult finished = test::finishCli(*last, 60000);
    EXPECT_TRUE(finished.exitCode == 0 || finished.exitCode == 1)
        << finished.exitCode << finished.err.toStdString();
    EXPECT_TRUE(contentOf(destinationPath) == expected.destination)
        << "the resumed copy differs from one never interrupted";
    EXPECT_TRUE(test::journalEntries(journalPath()).empty());
    EXPECT_TRUE(mapsFolder(QStringLiteral("*.job")).isEmpty());
}

// The destination on a disk that loses what was not synced: after a kill and a power cut, the
// map and the journal's record never claim a byte the destination lost, and the copy resumed
// after several such cuts still ends exact.
TEST_F(CliCrashTest, AfterAPowerCutTheMapAndRecordClaimOnlyWhatTheDestinationHolds) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 kSize = 8 << 20;
    mountMedium(
        kSize, {{(1 << 20) + 512, (1 << 20) + 2560}},
        {.delayMs = 50, .bytesPerSecond = 1 << 20, .multithreaded = true, .keepsOnlySynced = true});
    const QString destination = QStringLiteral("E:\\rescued.bin");
    const QString destinationPath = medium->mountPoint() + QStringLiteral("/rescued.bin");
    const test::ReferenceResult expected = reference();

    const unsigned seed = crashSeed();
    std::cout << "power cuts seeded with " << seed << " (FRAGMENTROVE_CRASH_SEED)\n";
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> moment(2200, 4000);
    bool done = false;
    quint32 kept = 0;
    for (int cut = 0; cut < 3 && !done; ++cut) {
        SCOPED_TRACE(testing::Message() << "power cut " << cut + 1);
        const auto run = startRun(destination);
        done = !killAfter(*run, moment(random));
        if (done)
            break;
        medium->powerCut();
        const CopyJob left = runningRecord();
        kept = left.position.load();
        std::cout << "power cut " << cut + 1 << ": the record keeps " << kept << " bytes, "
                  << QFileInfo(destinationPath).size() << " on the destination\n";
        expectMapsNotAheadOfData(destinationPath, kept, expected.destination);
        expectJournalledAfterKill(destination);
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(kept, 0u) << "no run got as far as its first commit";
    if (!done) {
        const CliResult finished = test::finishCli(*startRun(destination), 60000);
        EXPECT_TRUE(finished.exitCode == 0 || finished.exitCode == 1)
            << finished.exitCode << finished.err.toStdString();
    }
    EXPECT_TRUE(contentOf(destinationPath) == expected.destination);
    EXPECT_TRUE(test::journalEntries(journalPath()).empty());
}

// A map GNU ddrescue or ddrescuelog made of this source says what is read already: the copy reads
// only the rest. A map for a source of another size, or one that does not parse, is refused before
// anything is read or written.
TEST_F(CliCrashTest, AMapFromGnuDdrescueIsContinuedAndAForeignOrDamagedOneRefused) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    if (QStandardPaths::findExecutable(QStringLiteral("ddrescuelog")).isEmpty())
        GTEST_SKIP() << "needs ddrescuelog (package gddrescue)";
    constexpr qint64 kSize = 1 << 20;
    mountMedium(kSize, {{200 * 512, 204 * 512}, {1950 * 512, 1950 * 512 + 100}}, {});
    const test::ReferenceResult expected = reference();

    // Sectors 0-99 and 1000-1899 are read: the destination holds them as a rescue left them,
    // marked so a second write would show.
    const auto ddrescuelog = [this](qint64 size, const QString& mapPath) {
        QProcess tool;
        tool.start(QStringLiteral("ddrescuelog"),
                   {QStringLiteral("--create-mapfile=+?"), QStringLiteral("--size=%1").arg(size),
                    QStringLiteral("--block-size=512"), mapPath});
        QByteArray sectors;
        for (int sector = 0; sector < 100; ++sector)
            sectors += QByteArray::number(sector) + '\n';
        for (int sector = 1000; sector < 1900; ++sector)
            sectors += QByteArray::number(sector) + '\n';
        tool.write(sectors);
        tool.closeWriteChannel();
        EXPECT_TRUE(tool.waitForFinished(10000));
        EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    };
    const QList<ByteRange> done{{0, 100 * 512}, {1000 * 512, 1900 * 512}};
    QByteArray earlier(1900 * 512, '\0');
    for (const ByteRange& area : done)
        earlier.replace(area.start, area.end - area.start, QByteArray(area.end - area.start, 'R'));
    const QString destinationPath = media.filePath(QStringLiteral("rescued.bin"));
    test::writeFile(destinationPath, earlier);
    const QString mapPath = media.filePath(QStringLiteral("rescued.map"));
    ddrescuelog(kSize, mapPath);

    const CliResult continued =
        test::runCli(dir.path(), {QStringLiteral("copy"), QStringLiteral("E:\\disk.img"),
                                  QStringLiteral("D:\\rescued.bin"), QStringLiteral("--map"),
                                  mapPath, QStringLiteral("--yes")});
    EXPECT_EQ(continued.exitCode, 1) << continued.err.toStdString();
    QByteArray wanted = expected.destination;
    for (const ByteRange& area : done)
        wanted.replace(area.start, area.end - area.start,
                       earlier.mid(area.start, area.end - area.start));
    EXPECT_TRUE(contentOf(destinationPath) == wanted)
        << "the areas the map called read were read or written again";
    // Only what the map left untried is read, with the searches around the damaged places.
    const qint64 untried = kSize - done[0].end - (done[1].end - done[1].start);
    EXPECT_LE(medium->bytesRead(), untried + 64 * 1024);
    EXPECT_GE(medium->bytesRead(), untried - 4096);
    const MapFileContents map = readMapFile(mapPath);
    ASSERT_EQ(map.error, QString());
    EXPECT_TRUE(map.map.finished());
    EXPECT_EQ(map.map.unreadable, expected.filled);

    // GNU ddrescue itself, run over the first 600,000 bytes: the copy takes its output and map
    // and finishes them as one rescue never interrupted.
    if (!QStandardPaths::findExecutable(QStringLiteral("ddrescue")).isEmpty()) {
        const QString ddOutput = media.filePath(QStringLiteral("dd.bin"));
        const QString ddMap = media.filePath(QStringLiteral("dd.map"));
        QProcess ddrescue;
        ddrescue.start(QStringLiteral("ddrescue"),
                       {QStringLiteral("--size=600000"), medium->path(), ddOutput, ddMap});
        ASSERT_TRUE(ddrescue.waitForFinished(60000));
        ASSERT_EQ(ddrescue.exitCode(), 0) << ddrescue.readAllStandardError().toStdString();
        const qint64 readBefore = medium->bytesRead();
        const CliResult finished =
            test::runCli(dir.path(), {QStringLiteral("copy"), QStringLiteral("E:\\disk.img"),
                                      QStringLiteral("D:\\dd.bin"), QStringLiteral("--map"), ddMap,
                                      QStringLiteral("--yes")});
        EXPECT_EQ(finished.exitCode, 1) << finished.err.toStdString();
        EXPECT_TRUE(contentOf(ddOutput) == expected.destination);
        EXPECT_LE(medium->bytesRead() - readBefore, kSize - 600000 + 64 * 1024)
            << "what ddrescue read is not read again";
        EXPECT_EQ(readMapFile(ddMap).map.unreadable, expected.filled);
    }

    // Refused: a map of a source one sector larger, and a map with a line cut in half.
    const QByteArray before = contentOf(destinationPath);
    const qint64 readBefore = medium->reads();
    const QString foreign = media.filePath(QStringLiteral("foreign.map"));
    ddrescuelog(kSize + 512, foreign);
    QByteArray damagedText = contentOf(mapPath);
    damagedText.chop(damagedText.size() - damagedText.lastIndexOf(' '));
    const QString damaged = media.filePath(QStringLiteral("damaged.map"));
    test::writeFile(damaged, damagedText);
    for (const QString& bad : {foreign, damaged}) {
        SCOPED_TRACE(bad.toStdString());
        const QByteArray mapBefore = contentOf(bad);
        const CliResult refused =
            test::runCli(dir.path(), {QStringLiteral("copy"), QStringLiteral("E:\\disk.img"),
                                      QStringLiteral("D:\\rescued.bin"), QStringLiteral("--map"),
                                      bad, QStringLiteral("--yes")});
        EXPECT_EQ(refused.exitCode, 2) << refused.err.toStdString();
        EXPECT_TRUE(refused.err.contains(bad)) << refused.err.toStdString();
        EXPECT_TRUE(contentOf(destinationPath) == before) << "the destination was written";
        EXPECT_TRUE(contentOf(bad) == mapBefore) << "the map was written";
    }
    EXPECT_EQ(medium->reads(), readBefore) << "a refused copy reads nothing";
    EXPECT_TRUE(QDir(LiveJob::folderOf(dir.path())).entryList(QDir::Files).isEmpty());
}

} // namespace
} // namespace fr
