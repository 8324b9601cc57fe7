// Positioned transfers: the edges every reader and writer of a medium leans on.

#include "platform/Transfer.h"

#include "support/LoopDevice.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace fr {
namespace {

QByteArray pattern(int length) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 512);
    return bytes;
}

TEST(Transfer, ReadsStopAtTheEndOfTheFileAndAFullVolumeFailsAWrite) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("small.bin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(pattern(1000)), 1000);
    file.close();

    TransferFile small;
    ASSERT_EQ(small.open(QFile::encodeName(path), O_RDONLY, false), 0);
    std::vector<char> into(4096);
    const TransferResult tail = small.readFully(into.data(), into.size(), 600);
    EXPECT_EQ(tail.bytes, 400u);
    EXPECT_EQ(tail.error, 0) << "the end of the file is no error";
    EXPECT_EQ(QByteArray(into.data(), 400), pattern(1000).mid(600));

    TransferFile full;
    ASSERT_EQ(full.open("/dev/full", O_WRONLY, false), 0);
    const TransferResult put = full.writeFully(into.data(), 512, 0);
    EXPECT_EQ(put.error, ENOSPC);
    EXPECT_EQ(put.bytes, 0u);
}

TEST(Transfer, DirectReadsOfADeviceTakeMemoryThatIsNotAligned) {
    QString why;
    if (!test::LoopDevice::available(&why))
        GTEST_SKIP() << why.toStdString();
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("disk.img"));
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(pattern(64 * 1024)), 64 * 1024);
    file.close();
    test::LoopDevice loop(image);

    TransferFile device;
    ASSERT_EQ(device.open(QFile::encodeName(loop.path()), O_RDWR, true), 0);
    ASSERT_TRUE(device.isDirect());
    // One byte past an aligned start: direct transfers would refuse this memory.
    std::vector<char> memory(2048 + 1);
    const TransferResult got = device.readFully(memory.data() + 1, 2048, 4096);
    ASSERT_EQ(got.error, 0);
    ASSERT_EQ(got.bytes, 2048u);
    EXPECT_EQ(QByteArray(memory.data() + 1, 2048), pattern(64 * 1024).mid(4096, 2048));

    const QByteArray changed(512, '\x5a');
    std::vector<char> source(512 + 3);
    std::copy(changed.begin(), changed.end(), source.begin() + 3);
    EXPECT_EQ(device.writeFully(source.data() + 3, 512, 8192).error, 0);
    EXPECT_EQ(device.readFully(memory.data() + 1, 512, 8192).bytes, 512u);
    EXPECT_EQ(QByteArray(memory.data() + 1, 512), changed);
    EXPECT_TRUE(device.isDirect()) << "the device took every direct transfer";
}

} // namespace
} // namespace fr
