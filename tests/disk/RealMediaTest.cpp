// The raw disk layer on real file systems, loop devices and media that fail to read.

#include "disk/RawDiskAccess.h"
#include "platform/MountTable.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/LoopDevice.h"
#include "support/LoopMount.h"
#include "support/MediaImages.h"
#include "support/ScriptedPlatform.h"
#include "support/TestDisc.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

namespace fr {
namespace {

using test::ByteRange;
using test::FaultyMedium;
using test::LoopDevice;
using test::MediaImages;

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

class RealMediaTest : public testing::Test {
protected:
    QTemporaryDir program;
    test::ScriptedPlatform platform;
    LinuxVwin32Device vwin32;
    RawDiskAccess disk{program.path(), platform, vwin32};
    test::DosDevices drives{program.path()};

    QString file(const QString& name) const { return program.filePath(name); }
};

TEST_F(RealMediaTest, MediumIdentityAgreesWithTheFileSystemTools) {
    MediaImages::floppy(file(QStringLiteral("a.ima")), QStringLiteral("RESCUE"), 0x1234ABCD);
    MediaImages::fat(file(QStringLiteral("d.img")), 16, QStringLiteral("PHOTOS"), 0xCAFE0016);
    MediaImages::fat(file(QStringLiteral("e.img")), 32, QStringLiteral("BIG STICK"), 0x0BAD0032);
    MediaImages::ext4(file(QStringLiteral("f.img")), QStringLiteral("home"),
                      QStringLiteral("a1b2c3d4-1111-4222-8333-444455556666"));
    MediaImages::iso9660(file(QStringLiteral("r.iso")), QStringLiteral("HOLIDAY_2024"),
                         {{QStringLiteral("readme.txt"), "hello"}});
    drives.setDevice('A', file(QStringLiteral("a.ima")));
    drives.setDevice('D', file(QStringLiteral("d.img")));
    drives.setDevice('E', file(QStringLiteral("e.img")));
    drives.setDevice('F', file(QStringLiteral("f.img")));
    drives.setDevice('R', file(QStringLiteral("r.iso")));

    EXPECT_EQ(disk.GetMediaIdentifier('A'), (TMediaIdentifier{0x1234ABCD, "RESCUE", "FAT"}));
    EXPECT_EQ(disk.GetMediaIdentifier('D'), (TMediaIdentifier{0xCAFE0016, "PHOTOS", "FAT"}));
    EXPECT_EQ(disk.GetMediaIdentifier('E'), (TMediaIdentifier{0x0BAD0032, "BIG STICK", "FAT32"}));
    EXPECT_EQ(disk.GetMediaIdentifier('F'), (TMediaIdentifier{0xA1B2C3D4, "home", "ext4"}));
    EXPECT_EQ(disk.GetMediaIdentifier('R'), (TMediaIdentifier{0x20240101, "HOLIDAY_2024", "CDFS"}));

    // The FAT tools show the same serial as the one read here.
    const QString info =
        run(QStringLiteral("minfo"),
            {QStringLiteral("-i"), file(QStringLiteral("d.img")), QStringLiteral("::")});
    EXPECT_TRUE(info.contains(QStringLiteral("serial number: CAFE0016"), Qt::CaseInsensitive))
        << info.toStdString();
    const QString blkid =
        run(QStringLiteral("blkid"),
            {QStringLiteral("-o"), QStringLiteral("export"), file(QStringLiteral("r.iso"))});
    EXPECT_TRUE(blkid.contains(QStringLiteral("UUID=2024-01-01"))) << blkid.toStdString();
}

TEST_F(RealMediaTest, AMixedModeDiscIsReadThroughItsDataTracksUserData) {
    // An ISO 9660 volume labelled like an audio CD, stored as raw 2352-byte sectors (sync,
    // header, user data), then an audio track.
    MediaImages::iso9660(file(QStringLiteral("data.iso")), QStringLiteral("Audio CD"),
                         {{QStringLiteral("readme.txt"), "hello"}});
    QFile isoFile(file(QStringLiteral("data.iso")));
    ASSERT_TRUE(isoFile.open(QIODevice::ReadOnly));
    const QByteArray iso = isoFile.readAll();
    ASSERT_EQ(iso.size() % 2048, 0);
    test::TestDisc::mixedMode(program.path(), QStringLiteral("mixed"), iso, {300});
    drives.setDevice('R', file(QStringLiteral("mixed.cue")));

    EXPECT_EQ(disk.GetMediaIdentifier('R'), (TMediaIdentifier{0x20240101, "Audio CD", "CDFS"}));
    TDriveInfo info;
    disk.GetDriveInfo(QStringLiteral("R"), info);
    const std::uint32_t bytesPerSector = info.BytesPerSector; // packed fields: copied first
    const std::uint64_t totalBytes = info.TotalBytes;
    EXPECT_EQ(bytesPerSector, 2048u);
    EXPECT_EQ(totalBytes, std::uint64_t(iso.size()));
    QByteArray sector(2048, '\0');
    ASSERT_TRUE(disk.ReadSectors(driveNumber('R'), 16, 1, sector.data()));
    EXPECT_TRUE(sector == iso.mid(16 * 2048, 2048));
    EXPECT_FALSE(disk.WriteSectors(driveNumber('R'), 16, 1, sector.constData()));
}

TEST_F(RealMediaTest, ReadSpanningABadSectorFailsWholeAndTheSectorsBeforeItRead) {
    QString reason;
    if (!FaultyMedium::available(&reason) || !LoopDevice::available(&reason))
        GTEST_SKIP() << reason.toStdString();
    FaultyMedium medium(256 * 512, {{40 * 512 + 100, 40 * 512 + 101}});
    LoopDevice loop(medium.path(), {.readOnly = true});
    drives.setDevice('E', loop.path());

    std::vector<char> buffer(32 * 512);
    EXPECT_FALSE(disk.ReadSectors(driveNumber('E'), 20, 32, buffer.data())) << "sectors 20 to 51";
    ASSERT_TRUE(disk.ReadSectors(driveNumber('E'), 8, 32, buffer.data())) << "sectors 8 to 39";
    EXPECT_EQ(QByteArray(buffer.data(), 32 * 512), FaultyMedium::pattern(8 * 512, 32 * 512));
    EXPECT_TRUE(disk.ReadSectors(driveNumber('E'), 41, 32, buffer.data())) << "sectors 41 to 72";
    EXPECT_EQ(QByteArray(buffer.data(), 32 * 512), FaultyMedium::pattern(41 * 512, 32 * 512));

    // A place that becomes readable again is read at the next request: nothing was cached.
    medium.setBadRanges({});
    EXPECT_TRUE(disk.ReadSectors(driveNumber('E'), 20, 32, buffer.data()));
}

TEST_F(RealMediaTest, MountedVolumeIsMeasuredByItsFileSystemAndNotWrittenUntilUnmounted) {
    QString reason;
    if (!test::LoopMount::available(&reason))
        GTEST_SKIP() << reason.toStdString();
    const QString image = file(QStringLiteral("stick.img"));
    MediaImages::ext4(image, QStringLiteral("stick"),
                      QStringLiteral("5717c0de-0000-4000-8000-000000000000"), {}, 16 << 20);
    const QString root = file(QStringLiteral("mnt"));
    QDir().mkpath(root);
    drives.setRoot('G', root);
    drives.setDevice('G', image);
    {
        test::LoopMount mount(image, root);
        ASSERT_TRUE(mount.mounted());
        EXPECT_TRUE(VolumeMounts::isMounted(image));
        EXPECT_FALSE(VolumeMounts::holdsRootFileSystem(image));

        TDriveInfo info;
        disk.GetDriveInfo(QStringLiteral("G:\\"), info);
        const QString superblock = run(QStringLiteral("dumpe2fs"), {QStringLiteral("-h"), image});
        const int blockSize = QRegularExpression(QStringLiteral("Block size:\\s+(\\d+)"))
                                  .match(superblock)
                                  .captured(1)
                                  .toInt();
        ASSERT_GT(blockSize, 0) << superblock.toStdString();
        EXPECT_EQ(info.BytesPerSector, 512u);
        EXPECT_EQ(info.SectorsPerCluster, std::uint32_t(blockSize / 512));
        EXPECT_EQ(info.ClusterSize, std::uint32_t(blockSize));
        // The packed fields are copied before the checks take them by reference.
        const std::uint64_t totalBytes = info.TotalBytes;
        const std::uint64_t totalClusters = info.TotalClusters;
        const std::uint64_t freeBytes = info.FreeBytes;
        EXPECT_GT(totalBytes, 12u << 20);
        EXPECT_LE(totalBytes, 16u << 20);
        EXPECT_EQ(totalClusters, totalBytes / blockSize);
        EXPECT_GT(freeBytes, 0u);

        std::vector<char> sector(512, 'x');
        EXPECT_FALSE(disk.WriteSectors(driveNumber('G'), 100, 1, sector.data()))
            << "never under a mounted file system";

        QString error;
        ASSERT_TRUE(VolumeMounts::unmount(image, &error)) << error.toStdString();
        EXPECT_FALSE(VolumeMounts::isMounted(image));
        EXPECT_TRUE(disk.WriteSectors(driveNumber('G'), 100, 1, sector.data()));
    }
    EXPECT_FALSE(VolumeMounts::isMounted(image)) << "nothing stays mounted";
}

TEST_F(RealMediaTest, AMountThroughAnotherLoopDeviceOverTheSameImageKeepsRawWritesOut) {
    QString reason;
    if (!test::LoopMount::available(&reason))
        GTEST_SKIP() << reason.toStdString();
    const QString image = file(QStringLiteral("stick.img"));
    MediaImages::ext4(image, QStringLiteral("stick"),
                      QStringLiteral("5717c0de-0000-4000-8000-000000000001"), {}, 16 << 20);
    const QString root = file(QStringLiteral("mnt"));
    test::LoopMount mount(image, root);
    ASSERT_TRUE(mount.mounted()) << mount.error().toStdString();
    // Attached after the mount, so that it is a second loop device over the same file.
    LoopDevice second(image);
    drives.setDevice('G', second.path());
    ASSERT_FALSE(VolumeMounts::mountPointsOf(second.path()).empty()) << "seen through sysfs";

    QString why;
    EXPECT_TRUE(VolumeMounts::inUse(second.path(), &why));
    EXPECT_TRUE(why.contains(QDir(root).canonicalPath())) << why.toStdString();
    std::vector<char> sector(512, 'x');
    EXPECT_FALSE(disk.WriteSectors(driveNumber('G'), 100, 1, sector.data()));

    ASSERT_TRUE(VolumeMounts::unmount(second.path(), &why)) << why.toStdString();
    EXPECT_FALSE(VolumeMounts::inUse(second.path(), &why)) << why.toStdString();
    EXPECT_TRUE(disk.WriteSectors(driveNumber('G'), 100, 1, sector.data()));
}

} // namespace
} // namespace fr
