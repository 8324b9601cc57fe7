// A copy stopped on the command line is finished in the window, and one the window stopped is
// finished on the command line: the same journal, the same result as a copy never stopped.

#include "cli/CliProcess.h"
#include "core/CopyJob.h"
#include "core/RescueMap.h"
#include "rescue/RecordFile.h"
#include "support/FaultyMedium.h"
#include "support/MediaImages.h"
#include "support/ReferenceRescue.h"
#include "support/TmpfsMount.h"
#include "support/WindowFixture.h"
#include "widgets/CheckListBox.h"
#include "widgets/FlatButton.h"
#include "window/CopyFilesPage.h"
#include "window/JobControls.h"
#include "window/TForm1.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::ByteRange;
using test::CliResult;
using test::FaultyMedium;

constexpr qint64 kSize = 256 * 1024;
const QList<ByteRange> kBad = {{65536, 65536 + 4096}};

class CliJournalTest : public test::WindowFixture {
protected:
    void SetUp() override {
        if (!FaultyMedium::available(&skipReason_))
            GTEST_SKIP() << skipReason_.toStdString();
        createWindow();
        // Every unreadable place takes a fifth of a second, and other requests go on meanwhile.
        medium_ = std::make_unique<FaultyMedium>(
            kSize, kBad, FaultyMedium::Options{.delayMs = 200, .multithreaded = true});
        drives.setRoot('E', medium_->mountPoint());
    }

    std::vector<CopyJob> journal() const {
        std::vector<CopyJob> entries;
        for (const QByteArray& record :
             RecordFile(dir.file("databaza.fgv"), CopyJob::kRecordBytes).readAll().records) {
            entries.emplace_back();
            entries.back().fromRecord(record);
        }
        return entries;
    }
    bool failingAgain() const { return medium_->failedReads() >= 3; }
    bool idle() const { return form->SpeedButton13->isEnabled(); }

    // What a copy never stopped makes of the medium.
    test::ReferenceResult reference() const {
        QFile backing(medium_->backingPath());
        EXPECT_TRUE(backing.open(QIODevice::ReadOnly));
        return test::referenceCopy(backing.readAll(), kBad, {}, 0, kSize,
                                   context.fillBuffers.fillBufferZero);
    }
    QByteArray rescued() const {
        QFile file(media.filePath("rescued.bin"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    std::unique_ptr<FaultyMedium> medium_;
    QString skipReason_;
};

TEST_F(CliJournalTest, ACopyInterruptedOnTheCommandLineIsFinishedByTheWindowsJournalPage) {
    const auto cli = test::startCli(dir.path(), {"copy", "E:\\disk.img", "D:\\rescued.bin"});
    ASSERT_TRUE(QTest::qWaitFor([this] { return failingAgain(); }, 30000));
    ::kill(static_cast<pid_t>(cli->processId()), SIGINT);
    const CliResult stopped = test::finishCli(*cli);
    EXPECT_EQ(stopped.exitCode, 130) << stopped.err.toStdString();
    EXPECT_TRUE(stopped.out.contains("resume 1")) << stopped.out.toStdString();

    const std::vector<CopyJob> entries = journal();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].sourceName, QStringLiteral("E:\\disk.img"));
    EXPECT_EQ(entries[0].destinationName, QStringLiteral("D:\\rescued.bin"));
    EXPECT_EQ(entries[0].totalSize, kSize);
    EXPECT_GE(entries[0].position.load(), 65536u);
    EXPECT_LT(entries[0].position.load(), kSize);
    EXPECT_EQ(QFileInfo(media.filePath("rescued.bin")).size(), entries[0].position.load())
        << "the journal holds the exact position reached";

    form->SpeedButton9Click(form->SpeedButton4);
    ASSERT_EQ(form->CheckListBox1->count(), 1);
    EXPECT_EQ(form->Label3->text(), context.text(68) + context.text(69));
    prompts.answers = {PromptAnswer::Yes}; // write into the existing destination
    QTest::mouseClick(form->SpeedButton20, Qt::LeftButton, {},
                      form->SpeedButton20->rect().center());
    ASSERT_FALSE(idle()) << "the resume started";
    ASSERT_TRUE(QTest::qWaitFor([this] { return idle(); }, 60000));

    EXPECT_TRUE(rescued() == reference().destination);
    EXPECT_TRUE(journal().empty());
}

TEST_F(CliJournalTest, ACopyTheWindowStoppedIsFinishedByResumeOnTheCommandLine) {
    form->SpeedButton9Click(form->SpeedButton1);
    form->Edit1->setText(QStringLiteral("E:\\disk.img"));
    form->Edit2->setText(QStringLiteral("D:\\rescued.bin"));
    ASSERT_TRUE(window->copyFilesPage()->SpeedButton13Click());
    ASSERT_TRUE(QTest::qWaitFor([this] { return failingAgain(); }, 30000));
    window->jobControls()->SpeedButton15Click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return idle(); }, 30000));
    ASSERT_EQ(journal().size(), 1u);

    const CliResult listed = test::runCli(dir.path(), {"resume"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_TRUE(listed.out.startsWith("1. E:\\disk.img -> D:\\rescued.bin  "))
        << listed.out.toStdString();

    // The map of the window's run, as a map viewer would have saved it: the resume adds its
    // own run to it.
    const qint64 stoppedAt = journal()[0].position.load();
    const test::ReferenceResult whole = reference();
    AreaList before;
    for (const ByteRange& area : whole.filled)
        before.add(area.intersection({0, stoppedAt}));
    const QString mapPath = media.filePath("rescued.map");
    ASSERT_EQ(writeMapFile(mapPath, RescueMap::ofRun(kSize, {0, stoppedAt}, before), {}),
              QString());

    const CliResult finished = test::runCli(dir.path(), {"resume", "1", "--map", mapPath});
    EXPECT_EQ(finished.exitCode, 1) << finished.err.toStdString() << finished.out.toStdString();
    EXPECT_TRUE(rescued() == whole.destination);
    EXPECT_TRUE(journal().empty()) << "a finished entry leaves the journal";
    const RescueMap map = readMapFile(mapPath).map;
    EXPECT_EQ(map.unreadable, whole.filled);
    EXPECT_TRUE(map.finished());
}

// A disk that fills up half-way: the copy says where it failed and why, journals the
// position it reached, and finishes exactly once there is room again.
TEST_F(CliJournalTest, ACopyThatFillsTheDiskIsJournalledAndFinishedOnceThereIsRoom) {
    QString why;
    if (!test::TmpfsMount::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QString small = dir.file("small");
    test::TmpfsMount disk(small, 1 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.error().toStdString();
    drives.setRoot('F', small);

    const auto cli = test::startCli(dir.path(), {"copy", "E:\\disk.img", "F:\\rescued.bin"});
    // Filled while the copy waits for the damaged place behind what it has written.
    ASSERT_TRUE(QTest::qWaitFor(
        [&small] { return QFileInfo(small + "/rescued.bin").size() >= 65536; }, 30000));
    ASSERT_TRUE(disk.fill());
    const CliResult failed = test::finishCli(*cli);
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_TRUE(failed.err.contains(small + "/rescued.bin: No space left on device"))
        << failed.err.toStdString();
    const std::vector<CopyJob> entries = journal();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_GE(entries[0].position.load(), 65536u);
    EXPECT_EQ(QFileInfo(small + "/rescued.bin").size(), entries[0].position.load());

    QFile::remove(small + "/filler");
    const CliResult finished = test::runCli(dir.path(), {"resume", "1"});
    // The status speaks of this run: whether it still met the damaged place.
    const bool damageLeft = std::int64_t(entries[0].position.load()) < kBad[0].end;
    EXPECT_EQ(finished.exitCode, damageLeft ? 1 : 0) << finished.err.toStdString();
    QFile result(small + "/rescued.bin");
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_TRUE(result.readAll() == reference().destination);
    EXPECT_TRUE(journal().empty());
}

// An image job is journalled with its drive letter written twice; the window finishes it.
TEST_F(CliJournalTest, AnImageJobStoppedOnTheCommandLineIsFinishedByTheWindow) {
    QTemporaryDir devices;
    const QString floppy = devices.filePath("floppy.img");
    test::MediaImages::floppy(floppy, "RESCUE", 0x0badcafe, {{"notes.txt", "hello"}});
    const QList<ByteRange> bad = {{600 * 512 + 10, 600 * 512 + 20}, {2000 * 512, 2000 * 512 + 1}};
    FaultyMedium dying(floppy, bad, {.delayMs = 200, .multithreaded = true});
    drives.setDevice('F', dying.path());
    QByteArray expected;
    {
        QFile backing(dying.backingPath());
        ASSERT_TRUE(backing.open(QIODevice::ReadOnly));
        expected = backing.readAll();
    }
    // The groups of 32 sectors that hold a bad byte.
    for (const qint64 group : {576 * 512, 1984 * 512})
        expected.replace(group, 32 * 512, QByteArray(32 * 512, '\0'));

    const auto cli = test::startCli(dir.path(), {"image", "F:", "D:\\floppy.ima"});
    ASSERT_TRUE(QTest::qWaitFor([&dying] { return dying.failedReads() >= 2; }, 30000));
    ::kill(static_cast<pid_t>(cli->processId()), SIGTERM);
    const CliResult stopped = test::finishCli(*cli);
    EXPECT_EQ(stopped.exitCode, 143) << stopped.err.toStdString();
    const std::vector<CopyJob> entries = journal();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].sourceName, QStringLiteral("FF"));
    EXPECT_EQ(entries[0].destinationName, QStringLiteral("D:\\floppy.ima"));
    EXPECT_EQ(entries[0].totalSize, 2880u);
    EXPECT_LT(entries[0].position.load(), 2880u);

    form->SpeedButton9Click(form->SpeedButton4);
    prompts.answers = {PromptAnswer::Yes}; // write into the existing image
    QTest::mouseClick(form->SpeedButton20, Qt::LeftButton, {},
                      form->SpeedButton20->rect().center());
    ASSERT_FALSE(idle()) << "the resume started";
    ASSERT_TRUE(QTest::qWaitFor([this] { return idle(); }, 60000));
    QFile image(media.filePath("floppy.ima"));
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    EXPECT_TRUE(image.readAll() == expected);
    EXPECT_TRUE(journal().empty());
}

} // namespace
} // namespace fr
