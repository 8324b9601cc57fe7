// Sector transfers, drive information and medium identity on image files described in a
// dosdevices folder.

#include "disk/RawDiskAccess.h"

#include "support/ScriptedPlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace fr {
namespace {

// Byte i of a pattern image: its sector number mixed with its place in the sector.
char patternByte(qint64 offset) {
    return static_cast<char>((offset / 512) * 7 + offset % 251);
}

class RawDiskAccessTest : public testing::Test {
protected:
    QTemporaryDir program;
    test::ScriptedPlatform platform;
    LinuxVwin32Device vwin32;
    RawDiskAccess disk{program.path(), platform, vwin32};

    void SetUp() override { QDir(program.path()).mkpath(QStringLiteral("dosdevices")); }

    QString patternImage(const QString& name, qint64 size) {
        const QString path = program.filePath(name);
        QByteArray content(size, 0);
        for (qint64 i = 0; i < size; ++i)
            content[i] = patternByte(i);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    void link(const QString& name, const QString& target) {
        ASSERT_TRUE(QFile::link(target, program.filePath(QStringLiteral("dosdevices/") + name)));
    }
};

TEST_F(RawDiskAccessTest, SectorsReadEqualTheImageBytesAndShortReadsFail) {
    link(QStringLiteral("e::"), patternImage(QStringLiteral("disk.img"), 64 * 512));
    std::vector<char> buffer(32 * 512);
    ASSERT_TRUE(disk.ReadSectors(driveNumber('E'), 10, 32, buffer.data()));
    for (qint64 i = 0; i < qint64(buffer.size()); ++i)
        ASSERT_EQ(buffer[i], patternByte(10 * 512 + i)) << "byte " << i;

    EXPECT_TRUE(disk.ReadSectors(driveNumber('E'), 32, 32, buffer.data())) << "the last 32 sectors";
    EXPECT_FALSE(disk.ReadSectors(driveNumber('E'), 33, 32, buffer.data())) << "one past the end";
    EXPECT_FALSE(disk.ReadSectors(driveNumber('Q'), 0, 1, buffer.data())) << "no such drive";
}

TEST_F(RawDiskAccessTest, WritesLandOnTheImageAndReadBack) {
    const QString image = patternImage(QStringLiteral("disk.img"), 16 * 512);
    link(QStringLiteral("e::"), image);
    std::vector<char> sectors(2 * 512, 'W');
    ASSERT_TRUE(disk.WriteSectors(driveNumber('E'), 5, 2, sectors.data()));

    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_EQ(content.size(), 16 * 512);
    EXPECT_EQ(content.mid(5 * 512, 1024), QByteArray(1024, 'W'));
    EXPECT_EQ(content[5 * 512 - 1], patternByte(5 * 512 - 1)) << "the sector before is untouched";
    EXPECT_EQ(content[7 * 512], patternByte(7 * 512)) << "the sector after is untouched";

    EXPECT_FALSE(disk.WriteSectors(driveNumber('E'), 15, 2, sectors.data())) << "past the end";
}

TEST_F(RawDiskAccessTest, SectorsBeyondFourGigabytesAreReachedAtTheirOwnOffset) {
    // A sparse image a little over 4 GiB: only the sectors written here take room.
    const QString image = program.filePath(QStringLiteral("big.img"));
    const qint64 fourGiB = qint64(1) << 32;
    const std::uint32_t far = std::uint32_t(fourGiB / 512) + 5; // its offset wraps to sector 5
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(fourGiB + 64 * 1024));
    ASSERT_TRUE(file.seek(qint64(far) * 512));
    ASSERT_EQ(file.write(QByteArray(512, 'R')), 512);
    file.close();
    link(QStringLiteral("e::"), image);

    std::vector<char> sector(512);
    ASSERT_TRUE(disk.ReadSectors(driveNumber('E'), far, 1, sector.data()));
    EXPECT_EQ(QByteArray(sector.data(), 512), QByteArray(512, 'R'));

    std::fill(sector.begin(), sector.end(), 'W');
    ASSERT_TRUE(disk.WriteSectors(driveNumber('E'), far + 1, 1, sector.data()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(file.seek(qint64(far + 1) * 512));
    EXPECT_EQ(file.read(512), QByteArray(512, 'W'));
    ASSERT_TRUE(file.seek(6 * 512));
    EXPECT_EQ(file.read(512), QByteArray(512, '\0')) << "nothing landed 4 GiB too low";
}

TEST_F(RawDiskAccessTest, TheRootFileSystemIsNeverWritten) {
    std::vector<char> sector(512, 0);
    EXPECT_FALSE(disk.WriteSectors(driveNumber('C'), 0, 1, sector.data()));
}

TEST_F(RawDiskAccessTest, DriveTextsAddressTheDriveAndAnEmptyTextTouchesNothing) {
    link(QStringLiteral("a::"), patternImage(QStringLiteral("floppy.ima"), 1474560));
    TDriveInfo reference;
    disk.GetDriveInfo(QStringLiteral("A"), reference);
    EXPECT_EQ(reference.BytesPerSector, 512u);
    // The packed fields are copied before the checks take them by reference.
    const std::uint64_t referenceBytes = reference.TotalBytes;
    const std::uint64_t referenceClusters = reference.TotalClusters;
    EXPECT_EQ(referenceBytes, 1474560u);
    EXPECT_EQ(referenceClusters, 2880u);
    EXPECT_EQ(reference.ClusterSize, 512u);

    for (const char* text : {"a", "A:", "A:\\", "A:\\some\\path\\file.txt"}) {
        TDriveInfo info;
        disk.GetDriveInfo(QLatin1String(text), info);
        EXPECT_EQ(info, reference) << text;
    }
    TDriveInfo untouched;
    untouched.ClusterSize = 4096;
    disk.GetDriveInfo(QString(), untouched);
    EXPECT_EQ(untouched.ClusterSize, 4096u);
}

TEST_F(RawDiskAccessTest, NoReadableMediumGivesZerosEverywhere) {
    link(QStringLiteral("g::"), program.filePath(QStringLiteral("missing.img")));
    TDriveInfo info;
    info.ClusterSize = 1;
    disk.GetDriveInfo(QStringLiteral("G:\\"), info);
    EXPECT_TRUE(info.isEmpty());
    TDriveInfo none;
    none.FreeBytes = 7;
    disk.GetDriveInfo(QStringLiteral("Y"), none);
    EXPECT_TRUE(none.isEmpty()) << "a letter without a drive";
    EXPECT_EQ(disk.GetMediaIdentifier('G'), TMediaIdentifier{});
    std::vector<char> buffer(512);
    EXPECT_FALSE(disk.ReadSectors(driveNumber('G'), 0, 1, buffer.data()));
}

TEST_F(RawDiskAccessTest, CdImagesHaveTwoKilobyteSectorsAndClustersGroupThem) {
    link(QStringLiteral("r::"), patternImage(QStringLiteral("disc.iso"), 40 * 2048));
    TDriveInfo info;
    disk.GetDriveInfo(QStringLiteral("R"), info);
    EXPECT_EQ(info.BytesPerSector, 2048u);
    const std::uint64_t cdClusters = info.TotalClusters; // packed: copied first
    EXPECT_EQ(cdClusters, 40u);
    std::vector<char> cluster(info.ClusterSize);
    ASSERT_TRUE(disk.ReadCluster(driveNumber('R'), 3, cluster.data()));
    EXPECT_EQ(cluster[0], patternByte(3 * 2048));
    EXPECT_EQ(cluster.back(), patternByte(4 * 2048 - 1));
}

TEST_F(RawDiskAccessTest, AudioDiscIsNamedFromItsTableOfContentsAndHasNoGeometry) {
    // Two audio tracks: 100 sectors and 300 sectors of raw 2352-byte audio.
    QFile bin(program.filePath(QStringLiteral("album.bin")));
    ASSERT_TRUE(bin.open(QIODevice::WriteOnly));
    bin.write(QByteArray(400 * 2352, '\x11'));
    bin.close();
    QFile cue(program.filePath(QStringLiteral("album.cue")));
    ASSERT_TRUE(cue.open(QIODevice::WriteOnly));
    cue.write("FILE \"album.bin\" BINARY\r\n"
              "  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
              "  TRACK 02 AUDIO\r\n    INDEX 01 00:01:25\r\n");
    cue.close();
    link(QStringLiteral("r::"), cue.fileName());

    const TMediaIdentifier identity = disk.GetMediaIdentifier('R');
    EXPECT_EQ(identity.VolumeLabel, QStringLiteral("Audio CD"));
    EXPECT_EQ(identity.FileSystemName, QStringLiteral("CDFS"));
    // Tracks at 00:02:00 and 00:03:25 (150 sectors of lead-in added), 400 sectors playing.
    EXPECT_EQ(identity.SerialNumber, (2u << 8) + (3u << 8) + 25u + 400u);

    TDriveInfo info;
    info.ClusterSize = 9;
    disk.GetDriveInfo(QStringLiteral("R"), info);
    EXPECT_TRUE(info.isEmpty());
}

TEST_F(RawDiskAccessTest, OldFamilyQuartersTheClustersOfVolumesAbove2Gb) {
    platform.family = QStringLiteral("9x");
    const QString path = program.filePath(QStringLiteral("big.img"));
    QFile big(path);
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(3LL << 30)); // sparse
    big.close();
    link(QStringLiteral("h::"), path);
    TDriveInfo info;
    disk.GetDriveInfo(QStringLiteral("H"), info);
    // One sector a cluster as reported, a quarter rounds half to even: 0.
    EXPECT_EQ(info.SectorsPerCluster, 0u);
    EXPECT_EQ(info.ClusterSize, 0u);
    const std::uint64_t hardDiskBytes = info.TotalBytes; // packed: copied first
    EXPECT_EQ(hardDiskBytes, 3ULL << 30);
}

TEST_F(RawDiskAccessTest, OldFamilyReadsGoThroughItsDriverWhichThisSystemLacks) {
    platform.family = QStringLiteral("9x");
    platform.name = QStringLiteral("Windows 98");
    link(QStringLiteral("e::"), patternImage(QStringLiteral("disk.img"), 8 * 512));
    std::vector<char> buffer(512);
    EXPECT_FALSE(disk.ReadSectors(driveNumber('E'), 0, 1, buffer.data()));
    EXPECT_FALSE(disk.WriteSectors(driveNumber('E'), 0, 1, buffer.data()));
}

TEST_F(RawDiskAccessTest, FamilyAndVersionComeFromThePlatform) {
    EXPECT_EQ(disk.GetPlatformFamily(), QStringLiteral("NT"));
    const TWinVersion version = disk.GetWinVersion();
    EXPECT_EQ(version.Name, platform.name);
    EXPECT_EQ(version.Family, QStringLiteral("NT"));
    EXPECT_GE(version.Major, 3u) << "the running kernel's version";
}

} // namespace
} // namespace fr
