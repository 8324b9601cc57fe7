// The fixed-record data files: created when missing, read whole, never damaged further when
// their size shows they were damaged already, and whole after a disk filled up; and the
// journal's record laid out byte by byte.

#include "rescue/RecordFile.h"

#include "core/CopyJob.h"
#include "support/TmpfsMount.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace fr {
namespace {

class RecordFileTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("records.fgv"));

    static QByteArray record(char fill) { return QByteArray(16, fill); }

    void write(const QByteArray& bytes) const {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray bytes() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

TEST_F(RecordFileTest, MissingFileIsCreatedEmptyAndChangesLandAtTheirRecords) {
    RecordFile file(path, 16);
    const RecordFile::Contents empty = file.readAll();
    EXPECT_TRUE(empty.records.empty());
    EXPECT_TRUE(empty.error.isEmpty()) << empty.error;
    EXPECT_TRUE(QFile::exists(path));

    EXPECT_EQ(file.append(record('a')), QString());
    EXPECT_EQ(file.append(record('b')), QString());
    EXPECT_EQ(file.append(record('c')), QString());
    EXPECT_EQ(file.rewrite(1, record('B')), QString());
    EXPECT_EQ(bytes(), record('a') + record('B') + record('c'));
    EXPECT_FALSE(file.rewrite(3, record('d')).isEmpty()) << "past the last record";
    EXPECT_FALSE(file.append(QByteArray(15, 'x')).isEmpty()) << "a record of the wrong size";
    EXPECT_EQ(bytes().size(), 48);

    // A file copied from a CD is read-only; the program still keeps it up to date.
    QFile::setPermissions(path, QFile::ReadOwner);
    EXPECT_EQ(file.replaceAll({record('c'), record('a')}), QString());
    EXPECT_EQ(file.readAll().records, (std::vector<QByteArray>{record('c'), record('a')}));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".new")));
}

TEST_F(RecordFileTest, BrokenTailIsReadButNeverChanged) {
    const QByteArray damaged = record('a') + record('b') + QByteArray(5, 'z');
    write(damaged);
    RecordFile file(path, 16);

    const RecordFile::Contents contents = file.readAll();
    EXPECT_TRUE(contents.brokenTail);
    EXPECT_EQ(contents.records, (std::vector<QByteArray>{record('a'), record('b')}));
    EXPECT_TRUE(contents.error.contains(path)) << contents.error;
    EXPECT_TRUE(contents.error.contains(QStringLiteral("37 bytes"))) << contents.error;

    for (const QString& error :
         {file.append(record('c')), file.rewrite(0, record('c')), file.replaceAll({record('c')})}) {
        EXPECT_TRUE(error.contains(path)) << error;
        EXPECT_TRUE(error.contains(QStringLiteral("not a whole number"))) << error;
    }
    EXPECT_EQ(bytes(), damaged);
}

TEST_F(RecordFileTest, FailedRenameLeavesTheOldFileWhole) {
    RecordFile file(path, 16);
    ASSERT_EQ(file.append(record('a')), QString());
    ASSERT_EQ(file.append(record('b')), QString());
    QByteArray replacementSeen;
    file.setRename([&](const QString& from, const QString&, QString* error) {
        QFile written(from);
        if (written.open(QIODevice::ReadOnly))
            replacementSeen = written.readAll();
        *error = QStringLiteral("no space left on device");
        return false;
    });

    const QString error = file.replaceAll({record('b')});
    EXPECT_TRUE(error.contains(path) && error.contains(QStringLiteral("no space left"))) << error;
    EXPECT_EQ(replacementSeen, record('b')) << "the new content was complete before the rename";
    EXPECT_EQ(bytes(), record('a') + record('b'));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".new")));
}

TEST(RecordFileOnAFullDisk, FailedAppendLeavesTheEntriesAndTheFileTakesMoreOnceThereIsRoom) {
    QString why;
    if (!test::TmpfsMount::available(&why))
        GTEST_SKIP() << why.toStdString();
    QTemporaryDir dir;
    test::TmpfsMount disk(dir.filePath(QStringLiteral("disk")), 64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.error().toStdString();
    const QString path = dir.filePath(QStringLiteral("disk/databaza.fgv"));
    RecordFile journal(path, CopyJob::kRecordBytes);
    // Seven entries end inside a page, so the eighth is written in part before the disk is full.
    for (char fill = 'a'; fill < 'h'; ++fill)
        ASSERT_EQ(journal.append(QByteArray(CopyJob::kRecordBytes, fill)), QString());
    ASSERT_TRUE(disk.fill());

    const QString error = journal.append(QByteArray(CopyJob::kRecordBytes, 'h'));
    EXPECT_TRUE(error.startsWith(path)) << error;
    EXPECT_TRUE(error.contains(QStringLiteral("No space left on device"))) << error;
    EXPECT_EQ(QFileInfo(path).size(), 7 * CopyJob::kRecordBytes) << "no partial entry is left";

    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("disk/filler"))));
    EXPECT_EQ(journal.append(QByteArray(CopyJob::kRecordBytes, 'h')), QString());
    EXPECT_EQ(journal.rewrite(0, QByteArray(CopyJob::kRecordBytes, 'A')), QString());
    const RecordFile::Contents contents = journal.readAll();
    EXPECT_TRUE(contents.error.isEmpty()) << contents.error;
    ASSERT_EQ(contents.records.size(), 8u);
    EXPECT_EQ(contents.records[7], QByteArray(CopyJob::kRecordBytes, 'h'));
}

TEST(JournalRecord, FieldsSitAtTheirOffsetsWithDatesCountedFromTheOleEpoch) {
    // Made by hand, not by the program's own writer, so that a shifted field or another epoch
    // cannot pass by being read back the same wrong way.
    QByteArray made(CopyJob::kRecordBytes, '\0');
    made[0] = 12;
    made.replace(1, 12, "D:\\photo.jpg");
    made[256] = 10;
    made.replace(257, 10, "E:\\out.bin");
    made.replace(512, 24,
                 QByteArray::fromHex("01100000"            // position 4097
                                     "e3930400"            // totalSize 300003
                                     "00000000c0d5e140"    // 36526.0: 1 January 2000
                                     "000000000000e83f")); // 0.75: 18:00
    ASSERT_EQ(made.size(), CopyJob::kRecordBytes);

    CopyJob job;
    job.sourceName = QStringLiteral("D:\\photo.jpg");
    job.destinationName = QStringLiteral("E:\\out.bin");
    job.position = 4097;
    job.totalSize = 300003;
    job.stampStart(QDateTime(QDate(2000, 1, 1), QTime(18, 0)));
    EXPECT_EQ(job.toRecord().toHex(), made.toHex());

    CopyJob read;
    ASSERT_TRUE(read.fromRecord(made));
    EXPECT_EQ(read.sourceName, job.sourceName);
    EXPECT_EQ(read.destinationName, job.destinationName);
    EXPECT_EQ(read.position.load(), 4097u);
    EXPECT_EQ(read.totalSize, 300003u);
    EXPECT_EQ(read.startDay(), QDate(2000, 1, 1));
    EXPECT_EQ(read.startTimeOfDay(), QTime(18, 0));
}

TEST(JournalRecord, ALargeJobKeepsItsSizesWhereAnOlderReaderNeverResumesIt) {
    CopyJob job;
    job.sourceName = QStringLiteral("D:\\video.mkv");
    job.destinationName = QStringLiteral("E:\\video.mkv");
    job.totalSize = (std::uint64_t(6) << 30) + 7;
    job.position = (std::uint64_t(5) << 30) + 4;
    job.stampStart(QDateTime(QDate(2026, 12, 8), QTime(6, 0)));
    ASSERT_TRUE(job.fitsRecord());
    const QByteArray record = job.toRecord();
    // Both 32-bit fields say "unknown": an older reader finds the sizes unexpected and its
    // size checks refuse the job, instead of resuming at the low half of the position.
    EXPECT_EQ(record.mid(512, 8).toHex(), QByteArray("ffffffffffffffff"));
    EXPECT_EQ(record[0], char(12)) << "the names stay as an older reader reads them";
    CopyJob read;
    ASSERT_TRUE(read.fromRecord(record));
    EXPECT_EQ(read.sourceName, job.sourceName);
    EXPECT_EQ(read.position.load(), job.position.load());
    EXPECT_EQ(read.totalSize, job.totalSize);
    EXPECT_FALSE(read.sizesLost());

    // The running record's position is rewritten alone, in the trailer, and lands there.
    read.position = job.totalSize;
    const CopyJob::PositionField field = read.positionField();
    QByteArray updated = record;
    updated.replace(field.offset, field.bytes.size(), field.bytes);
    EXPECT_EQ(updated, read.toRecord());
    EXPECT_EQ(field.offset / 512, (field.offset + field.bytes.size() - 1) / 512)
        << "inside one sector, so that a power cut leaves the old value or the new one";

    // An older program that saved the entry with new names wrote no trailer: the sizes are
    // lost, never guessed.
    QByteArray saved = record;
    saved.replace(236, 20, QByteArray(20, '\0'));
    ASSERT_TRUE(read.fromRecord(saved));
    EXPECT_TRUE(read.sizesLost());
    // Saved again (the journal page's save), they stay lost rather than turn into 2^32 - 1.
    ASSERT_TRUE(read.fromRecord(read.toRecord()));
    EXPECT_TRUE(read.sizesLost());

    // The trailer goes beside the destination's name when the source's fills its field, and
    // a job whose two names both fill theirs cannot be journalled.
    job.sourceName = QStringLiteral("D:\\") + QString(240, 'a');
    ASSERT_TRUE(job.fitsRecord());
    ASSERT_TRUE(read.fromRecord(job.toRecord()));
    EXPECT_EQ(read.sourceName, job.sourceName);
    EXPECT_EQ(read.totalSize, job.totalSize);
    job.destinationName = QStringLiteral("E:\\") + QString(240, 'b');
    EXPECT_FALSE(job.fitsRecord());
    ASSERT_TRUE(read.fromRecord(job.toRecord()));
    EXPECT_TRUE(read.sizesLost());

    // Jobs that fit the 32-bit fields keep them, up to the last size that does.
    job.totalSize = CopyJob::kLargestSmall;
    job.position = CopyJob::kLargestSmall + 2048;
    EXPECT_TRUE(job.fitsSmallRecord());
    EXPECT_EQ(job.toRecord().mid(512, 8).toHex(), QByteArray("fffffffffff7ffff"));
    ASSERT_TRUE(read.fromRecord(job.toRecord()));
    EXPECT_EQ(read.position.load(), job.position.load());

    // An older program journalled a file just under 4 GiB in the 32-bit fields, with two names
    // that leave no room for the trailer: saved again, the entry keeps its sizes there.
    QByteArray older = job.toRecord();
    older.replace(512, 8, QByteArray::fromHex("000000f0ffffffff"));
    ASSERT_TRUE(read.fromRecord(older));
    EXPECT_EQ(read.totalSize, 0xFFFFFFFFu);
    EXPECT_EQ(read.toRecord(), older);
}

TEST(JournalRecord, AStartThatCannotBeADateHasNoDayAndNoTime) {
    // Bytes of a damaged journal: neither a day nor a time may be made up from them.
    const double damaged[] = {std::nan(""), HUGE_VAL,  -HUGE_VAL, 1e300,
                              -1e300,       2958466.0, -657435.0};
    for (const double value : damaged) {
        CopyJob job;
        job.startDate = value;
        job.startTime = value;
        EXPECT_FALSE(job.startDay().isValid()) << value;
        if (!std::isfinite(value)) {
            EXPECT_FALSE(job.startTimeOfDay().isValid()) << value;
        }
    }
    // The first and last days OLE dates know.
    EXPECT_EQ(dateFromOle(-657434.0), QDate(100, 1, 1));
    EXPECT_EQ(dateFromOle(2958465.75), QDate(9999, 12, 31));
}

} // namespace
} // namespace fr
