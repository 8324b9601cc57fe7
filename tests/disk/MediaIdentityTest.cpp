#include "disk/MediaIdentity.h"

#include <gtest/gtest.h>

namespace fr {
namespace {

TEST(MediaIdentity, SerialsAreTheOnesWindowsShows) {
    EXPECT_EQ(MediaIdentity::serialFromUuid(QStringLiteral("vfat"), QStringLiteral("1A2B-3C4D")),
              0x1A2B3C4Du);
    EXPECT_EQ(
        MediaIdentity::serialFromUuid(QStringLiteral("ntfs"), QStringLiteral("0123456789ABCDEF")),
        0x89ABCDEFu);
    EXPECT_EQ(MediaIdentity::serialFromUuid(QStringLiteral("ext4"),
                                            QStringLiteral("deadbeef-0000-4000-8000-000000000001")),
              0xDEADBEEFu);
    EXPECT_EQ(MediaIdentity::serialFromUuid(QStringLiteral("iso9660"),
                                            QStringLiteral("2026-12-07-08-00-00-00")),
              0x20261207u);
    EXPECT_EQ(MediaIdentity::serialFromUuid(QStringLiteral("ext4"), QString()), 0u);
}

TEST(MediaIdentity, FileSystemNamesAsWindowsGivesThem) {
    EXPECT_EQ(MediaIdentity::fileSystemName(QStringLiteral("vfat"), QStringLiteral("FAT12")),
              QStringLiteral("FAT"));
    EXPECT_EQ(MediaIdentity::fileSystemName(QStringLiteral("vfat"), QStringLiteral("FAT16")),
              QStringLiteral("FAT"));
    EXPECT_EQ(MediaIdentity::fileSystemName(QStringLiteral("vfat"), QStringLiteral("FAT32")),
              QStringLiteral("FAT32"));
    EXPECT_EQ(MediaIdentity::fileSystemName(QStringLiteral("ntfs"), QString()),
              QStringLiteral("NTFS"));
    EXPECT_EQ(MediaIdentity::fileSystemName(QStringLiteral("iso9660"), QString()),
              QStringLiteral("CDFS"));
    EXPECT_EQ(MediaIdentity::fileSystemName(QStringLiteral("udf"), QString()),
              QStringLiteral("CDFS"));
    EXPECT_EQ(MediaIdentity::fileSystemName(QStringLiteral("ext4"), QString()),
              QStringLiteral("ext4"));
}

} // namespace
} // namespace fr
