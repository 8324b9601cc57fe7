// What a running job keeps on disk (its record and its map) and how the next start of the
// program journals a job that ended without being journalled.

#include "core/LiveJob.h"

#include "rescue/InterruptedJobs.h"
#include "rescue/RecordFile.h"
#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::contentOf;

class LiveJobTest : public testing::Test {
protected:
    QTemporaryDir programDir;
    CopyJob job;

    void SetUp() override {
        job.sourceName = QStringLiteral("E:\\video.mkv");
        job.destinationName = QStringLiteral("C:\\rescued\\video.mkv");
        job.totalSize = 10000;
        job.stampStart(QDateTime(QDate(2026, 12, 7), QTime(20, 15, 1)));
    }

    QString journalPath() const { return programDir.filePath(QStringLiteral("databaza.fgv")); }
    QString recordPath() const {
        return LiveJob::folderOf(programDir.path()) + '/' + LiveJob::idOf(job) +
               QStringLiteral(".job");
    }
    std::vector<CopyJob> journal() const { return test::journalEntries(journalPath()); }
    std::shared_ptr<LiveJob> begin(std::optional<RescueMap> earlier = {}) {
        LiveJob::Description description;
        description.job = job;
        description.bytes = job.totalSize;
        description.createdBy = QStringLiteral("test");
        description.earlier = std::move(earlier);
        QString error;
        auto live = LiveJob::begin(programDir.path(), description, &error);
        EXPECT_TRUE(live) << error.toStdString();
        return live;
    }
};

TEST_F(LiveJobTest, AJobThatEndedUnjournalledIsJournalledOnceWhereItsCommitSaid) {
    auto live = begin();
    ASSERT_TRUE(live);
    // The record is the journal's own, whole from the start.
    EXPECT_EQ(contentOf(recordPath()), job.toRecord());
    ASSERT_EQ(live->commit({0, 4000}, {}, 4000), QString());
    CopyJob committed = job;
    committed.position = 4000;
    EXPECT_EQ(contentOf(recordPath()), committed.toRecord());

    // While the job runs nobody takes its record, and the same job cannot run twice.
    EXPECT_TRUE(journalInterruptedJobs(programDir.path(), journalPath()).journalled.empty());
    EXPECT_TRUE(journal().empty());
    LiveJob::Description again;
    again.job = job;
    again.bytes = job.totalSize;
    QString error;
    EXPECT_FALSE(LiveJob::begin(programDir.path(), again, &error));
    EXPECT_TRUE(error.startsWith(job.destinationName)) << error.toStdString();
    EXPECT_EQ(contentOf(recordPath()), committed.toRecord()) << "the running job's record stays";

    // The program ends without journalling it (its lock goes with it, as with a kill).
    live.reset();
    const InterruptedJobs found = journalInterruptedJobs(programDir.path(), journalPath());
    EXPECT_TRUE(found.errors.isEmpty()) << found.errors.join('\n').toStdString();
    ASSERT_EQ(found.journalled.size(), 1u);
    ASSERT_EQ(journal().size(), 1u);
    EXPECT_EQ(journal()[0].toRecord(), committed.toRecord());
    EXPECT_FALSE(QFile::exists(recordPath()));
    EXPECT_TRUE(QFile::exists(LiveJob::mapPathOf(programDir.path(), job)))
        << "the map stays with the entry";
    EXPECT_TRUE(journalInterruptedJobs(programDir.path(), journalPath()).journalled.empty());
    EXPECT_EQ(journal().size(), 1u);
}

TEST_F(LiveJobTest, AStopJournalledBeforeTheEndCameIsBroughtUpToDateNotTwinned) {
    // The stop journalled the last commit; the worker got further before the program was killed.
    CopyJob stopped = job;
    stopped.position = 2000;
    CopyJob other = job;
    other.sourceName = QStringLiteral("E:\\other.bin");
    other.position = 9000;
    ASSERT_EQ(RecordFile(journalPath(), CopyJob::kRecordBytes)
                  .replaceAll({other.toRecord(), stopped.toRecord()}),
              QString());
    auto live = begin();
    ASSERT_EQ(live->commit({0, 6000}, {}, 6000), QString());
    live.reset();

    const InterruptedJobs found = journalInterruptedJobs(programDir.path(), journalPath());
    EXPECT_TRUE(found.journalled.empty()) << "nothing new to tell the user";
    const std::vector<CopyJob> entries = journal();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].toRecord(), other.toRecord());
    EXPECT_EQ(entries[1].position.load(), 6000u);

    // An entry that is further than the record (the stop's exact rewrite) stays as it is.
    live = begin();
    ASSERT_EQ(live->commit({0, 5000}, {}, 5000), QString());
    live.reset();
    journalInterruptedJobs(programDir.path(), journalPath());
    EXPECT_EQ(journal()[1].position.load(), 6000u);
}

TEST_F(LiveJobTest, TheMapAddsEveryRunToWhatEarlierRunsLearntAndGoesWhenTheJobIsDone) {
    auto live = begin();
    AreaList unreadable;
    unreadable.add({1000, 1512});
    ASSERT_EQ(live->commit({0, 4000}, unreadable, 4000), QString());
    live->retire(true);
    const QString mapPath = LiveJob::mapPathOf(programDir.path(), job);
    const QByteArray text = contentOf(mapPath);
    EXPECT_TRUE(text.contains("# Source:       E:\\video.mkv\n")) << text.constData();
    EXPECT_TRUE(text.contains("# Destination:  C:\\rescued\\video.mkv\n"));

    // The next run of the same entry starts from that map: what is left to read is known.
    job.position = 4000;
    live = begin();
    EXPECT_EQ(live->earlier().unreadable, unreadable);
    AreaList pending = unreadable;
    pending.add({4000, 10000});
    EXPECT_EQ(live->earlier().pending(), pending);
    ASSERT_EQ(live->commit({4000, 10000}, {}, 10000), QString());
    const MapFileContents read = readMapFile(mapPath);
    ASSERT_TRUE(read.error.isEmpty()) << read.error.toStdString();
    EXPECT_EQ(read.map.unreadable, unreadable);
    EXPECT_TRUE(read.map.finished());
    live->retire(false);
    EXPECT_FALSE(QFile::exists(mapPath));
    EXPECT_FALSE(QFile::exists(recordPath()));

    // A map the user names is the starting point instead; one of another size says nothing.
    RescueMap given = RescueMap::ofRun(10000, {0, 10000}, {});
    given.untried.add({7000, 8000});
    job.position = 0;
    live = begin(given);
    EXPECT_EQ(live->earlier().pending().areas(), (std::vector<ByteRange>{{7000, 8000}}));
}

} // namespace
} // namespace fr
