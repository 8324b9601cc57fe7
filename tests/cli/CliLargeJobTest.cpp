// Files and media beyond what 32 bits count: a copy of more than 4 GiB with damage beyond 4 GiB,
// stopped there and finished by a resume, byte-exact, with its journal entry in the large form.
// The source is sparse, and a map says its first 4 GiB are in the copy already, so that the
// test reads and writes only the part past 4 GiB.

#include "cli/CliProcess.h"
#include "core/CopyJob.h"
#include "core/RescueMap.h"
#include "rescue/RecordFile.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/ReferenceRescue.h"
#include "support/WindowFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::ByteRange;
using test::CliResult;
using test::FaultyMedium;

constexpr qint64 kDone = qint64(4) << 30; // what the map says is copied
constexpr qint64 kTail = 2 << 20;         // the part past it
constexpr qint64 kSize = kDone + kTail;
const QList<ByteRange> kBadInTail = {{64 << 10, (64 << 10) + 4096}, {1 << 20, (1 << 20) + 3}};

class CliLargeJobTest : public test::WindowFixture {};

TEST_F(CliLargeJobTest, ACopyBeyondFourGibibytesIsJournalledStoppedThereAndResumedExactly) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    createWindow();
    const QByteArray tail = FaultyMedium::pattern(kDone, kTail);
    const QString image = dir.file(QStringLiteral("large.img"));
    {
        QFile file(image);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(kDone)); // sparse
        ASSERT_TRUE(file.seek(kDone));
        ASSERT_EQ(file.write(tail), kTail);
    }
    QList<ByteRange> bad;
    for (const ByteRange& range : kBadInTail)
        bad.append({kDone + range.start, kDone + range.end});
    FaultyMedium medium(image, bad, {.delayMs = 300, .multithreaded = true});
    drives.setRoot('E', medium.mountPoint());

    RescueMap done = RescueMap::ofRun(kSize, {0, kDone}, {});
    ASSERT_EQ(writeMapFile(media.filePath("large.map"), done, {}), QString());
    {
        QFile copy(media.filePath("rescued.bin"));
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
        ASSERT_TRUE(copy.resize(kDone));
    }

    const auto cli = test::startCli(
        dir.path(), {"copy", "E:\\disk.img", "D:\\rescued.bin", "--map", "D:\\large.map", "--yes"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return medium.failedReads() >= 1; }, 60000));
    ::kill(static_cast<pid_t>(cli->processId()), SIGINT);
    const CliResult stopped = test::finishCli(*cli);
    ASSERT_EQ(stopped.exitCode, 130) << stopped.err.toStdString() << stopped.out.toStdString();

    const RecordFile::Contents journal =
        RecordFile(dir.file("databaza.fgv"), CopyJob::kRecordBytes).readAll();
    ASSERT_EQ(journal.records.size(), 1u);
    EXPECT_EQ(journal.records[0].mid(512, 8).toHex(), QByteArray("ffffffffffffffff"))
        << "no older reader may take the entry's low halves for its sizes";
    CopyJob entry;
    ASSERT_TRUE(entry.fromRecord(journal.records[0]));
    EXPECT_EQ(entry.totalSize, std::uint64_t(kSize));
    EXPECT_GE(entry.position.load(), std::uint64_t(kDone));
    EXPECT_LT(entry.position.load(), std::uint64_t(kSize));

    const CliResult resumed = test::runCli(dir.path(), {"resume", "1", "--yes"});
    EXPECT_EQ(resumed.exitCode, 1) << resumed.err.toStdString() << resumed.out.toStdString();
    EXPECT_EQ(RecordFile(dir.file("databaza.fgv"), CopyJob::kRecordBytes).readAll().records.size(),
              0u);

    // The 4 GiB before are a whole number of the rule's steps: the tail's result is that of a
    // copy of the tail alone.
    const test::ReferenceResult reference =
        test::referenceCopy(tail, kBadInTail, {}, 0, kTail, context.fillBuffers.fillBufferZero);
    QFile copy(media.filePath("rescued.bin"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    ASSERT_EQ(copy.size(), kDone + reference.destination.size());
    ASSERT_TRUE(copy.seek(kDone));
    EXPECT_TRUE(copy.readAll() == reference.destination);
}

TEST_F(CliLargeJobTest, AnImageBeyondTwoToThe32SectorsIsTakenAndWrittenBackAtItsPlaces) {
    // A medium of 2^32 sectors and 2 MiB, and its image, both sparse. A map says all but one
    // mebibyte past sector 2^32 is in the image, and a journal entry that the writing back
    // got to that mebibyte, so that only the part past 2 TiB is read and written.
    createWindow();
    constexpr qint64 kMedium = (qint64(1) << 32) * 512 + (2 << 20);
    constexpr qint64 kPlace = (qint64(1) << 32) * 512 + 5 * 512;
    constexpr qint64 kPart = 1 << 20;
    const QByteArray data = FaultyMedium::pattern(kPlace, kPart);
    const auto sparseFile = [](const QString& path, const QByteArray& at) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.resize(kMedium));
        if (!at.isEmpty()) {
            ASSERT_TRUE(file.seek(kPlace));
            ASSERT_EQ(file.write(at), at.size());
        }
    };
    const auto bytesAt = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.seek(kPlace) ? file.read(kPart)
                                                                   : QByteArray("<missing>");
    };
    const QString medium = dir.file(QStringLiteral("medium.img"));
    const QString target = dir.file(QStringLiteral("target.img"));
    sparseFile(medium, data);
    sparseFile(target, {});
    sparseFile(media.filePath("out.img"), {});
    drives.setDevice('F', medium);
    drives.setDevice('G', target);
    RescueMap allButThePart;
    allButThePart.size = kMedium;
    allButThePart.untried.add({kPlace, kPlace + kPart});
    ASSERT_EQ(writeMapFile(media.filePath("in.map"), allButThePart, {}), QString());

    const CliResult taken =
        test::runCli(dir.path(), {"image", "F:", "D:\\out.img", "--map", "D:\\in.map", "--yes"});
    ASSERT_EQ(taken.exitCode, 0) << taken.err.toStdString() << taken.out.toStdString()
                                 << test::contentOf(media.filePath("in.map")).toStdString();
    EXPECT_TRUE(bytesAt(media.filePath("out.img")) == data);
    EXPECT_EQ(QFileInfo(media.filePath("out.img")).size(), kMedium);

    CopyJob restore;
    restore.sourceName = QStringLiteral("D:\\out.img");
    restore.destinationName = QStringLiteral("GG");
    restore.totalSize = kMedium / 512;
    restore.position = kPlace / 512;
    restore.stampStart(QDateTime::currentDateTime());
    ASSERT_EQ(
        RecordFile(dir.file("databaza.fgv"), CopyJob::kRecordBytes).append(restore.toRecord()),
        QString());
    const CliResult written = test::runCli(dir.path(), {"resume", "1", "--yes"});
    ASSERT_EQ(written.exitCode, 0) << written.err.toStdString() << written.out.toStdString();
    EXPECT_TRUE(bytesAt(target) == data);
}

} // namespace
} // namespace fr
