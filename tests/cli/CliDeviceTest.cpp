// Media that no drive letter stands for, named on the command line by their own device: imaged,
// stopped, journalled under the device and resumed; tested.

#include "cli/CliProcess.h"
#include "core/RescueMap.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/LoopDevice.h"
#include "support/RunningRecord.h"
#include "support/TempProgramDir.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <csignal>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::CliResult;
using test::contentOf;
using test::FaultyMedium;
using test::LoopDevice;
using test::runCli;

class CliDeviceTest : public testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!FaultyMedium::available(&why) || !LoopDevice::available(&why))
            GTEST_SKIP() << why.toStdString();
        drives.setRoot('D', media.path());
    }

    std::uint32_t recordedPosition() const { return test::runningRecordPosition(dir.path()); }

    std::vector<CopyJob> journal() const {
        return test::journalEntries(dir.file(QStringLiteral("databaza.fgv")));
    }

    test::TempProgramDir dir;
    QTemporaryDir media;
    test::DosDevices drives{dir.path()};
};

TEST_F(CliDeviceTest, AnImageOfADeviceWithoutADriveIsJournalledUnderItsPathAndResumedByteExact) {
    // Four seconds of reading: Ctrl-C comes once the first commit is on disk.
    constexpr qint64 kSize = 4 << 20;
    FaultyMedium medium(kSize, {}, {.bytesPerSecond = 1 << 20});
    LoopDevice loop(medium.path(), {.readOnly = true});

    const auto cli = test::startCli(dir.path(), {"image", loop.path(), media.filePath("disk.img")});
    ASSERT_TRUE(QTest::qWaitFor([this] { return recordedPosition() > 0; }, 30000));
    ::kill(static_cast<pid_t>(cli->processId()), SIGINT);
    const CliResult stopped = test::finishCli(*cli);
    EXPECT_EQ(stopped.exitCode, 128 + SIGINT)
        << stopped.out.toStdString() << stopped.err.toStdString();
    EXPECT_TRUE(stopped.out.contains(loop.path())) << stopped.out.toStdString();

    ASSERT_EQ(journal().size(), 1u);
    const CopyJob entry = journal()[0];
    EXPECT_EQ(entry.sourceName, QStringLiteral("::") + loop.path());
    EXPECT_EQ(entry.destinationName, QStringLiteral("D:\\disk.img"));
    EXPECT_EQ(entry.totalSize, kSize / 512);
    EXPECT_GT(entry.position.load(), 0u);
    EXPECT_LT(entry.position.load(), kSize / 512);
    // The list shows the medium by its device.
    const CliResult listed = runCli(dir.path(), {"resume"});
    EXPECT_TRUE(listed.out.contains(loop.path() + QStringLiteral(" -> D:\\disk.img")))
        << listed.out.toStdString();

    const CliResult resumed = runCli(dir.path(), {"resume", "1"});
    EXPECT_EQ(resumed.exitCode, 0) << resumed.out.toStdString() << resumed.err.toStdString();
    EXPECT_TRUE(contentOf(media.filePath("disk.img")) == FaultyMedium::pattern(0, kSize));
    EXPECT_TRUE(journal().empty());
}

TEST_F(CliDeviceTest, AnImageIsRestoredOntoADeviceWithoutADrive) {
    constexpr qint64 kSize = 1 << 20;
    const QString target = media.filePath("target.img");
    test::writeFile(target, QByteArray(kSize, '\xee'));
    LoopDevice loop(target);
    test::writeFile(media.filePath("disk.img"), FaultyMedium::pattern(0, kSize));

    const CliResult restored = runCli(dir.path(), {"-y", "restore", "D:\\disk.img", loop.path()});
    EXPECT_EQ(restored.exitCode, 0) << restored.out.toStdString() << restored.err.toStdString();
    loop.detach();
    EXPECT_TRUE(contentOf(target) == FaultyMedium::pattern(0, kSize));
    EXPECT_TRUE(journal().empty());
}

TEST_F(CliDeviceTest, ADeviceWithoutADriveIsTestedAsItsBareSectors) {
    constexpr qint64 kSize = 1 << 20;
    const ByteRange bad{64 * 1024, 64 * 1024 + 512};
    FaultyMedium medium(kSize, {bad});
    LoopDevice loop(medium.path(), {.readOnly = true});

    const CliResult tested = runCli(dir.path(), {"test", loop.path()});
    EXPECT_EQ(tested.exitCode, 1) << tested.out.toStdString() << tested.err.toStdString();
    EXPECT_TRUE(tested.out.contains(
        QStringLiteral("Testing %1: 2048 groups of 512 bytes").arg(loop.path())))
        << tested.out.toStdString();
    EXPECT_TRUE(tested.out.contains(
        QStringLiteral("bytes %1 to %2 (512 bytes)").arg(bad.start).arg(bad.end - 1)))
        << tested.out.toStdString();

    // An image file is a medium too, also named in drive form.
    test::writeFile(media.filePath("plain.img"), QByteArray(64 * 512, 'x'));
    const CliResult image = runCli(dir.path(), {"test", "D:\\plain.img"});
    EXPECT_EQ(image.exitCode, 0) << image.out.toStdString() << image.err.toStdString();
    EXPECT_TRUE(image.out.contains(
        QStringLiteral("Testing %1: 64 groups of 512 bytes").arg(media.filePath("plain.img"))))
        << image.out.toStdString();

    // A folder is neither a medium nor an image of one.
    const CliResult folder = runCli(dir.path(), {"test", media.path()});
    EXPECT_EQ(folder.exitCode, 2);
    EXPECT_TRUE(folder.err.contains("neither a block device nor an image file"))
        << folder.err.toStdString();
}

} // namespace
} // namespace fr
