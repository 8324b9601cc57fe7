#pragma once

#include <QString>
#include <cstdint>

namespace fr {

// Geometry and size of a volume. Pages copy it whole into the current drive information and
// test single fields, so its layout is fixed: eleven 32-bit words, 44 bytes, in this order.
// All words zero means that no readable medium is in the drive.
#pragma pack(push, 4)
struct TDriveInfo {
    std::uint32_t ClusterSize = 0; // SectorsPerCluster x BytesPerSector
    std::uint32_t BytesPerSector = 0;
    std::uint32_t SectorsPerCluster = 0;
    std::uint64_t TotalClusters = 0; // the high half is 0 up to 2^32 clusters
    std::uint64_t FreeClusters = 0;
    std::uint64_t TotalBytes = 0;
    std::uint64_t FreeBytes = 0;

    bool operator==(const TDriveInfo&) const = default;
    bool isEmpty() const { return *this == TDriveInfo{}; }
};
#pragma pack(pop)
static_assert(sizeof(TDriveInfo) == 44, "the drive information is eleven 32-bit words");

// Identity of the medium in a drive. No medium: serial 0 and empty texts.
struct TMediaIdentifier {
    std::uint32_t SerialNumber = 0;
    QString VolumeLabel;
    QString FileSystemName; // "FAT", "FAT32", "NTFS", "CDFS", or the Linux name ("ext4" ...)

    bool operator==(const TMediaIdentifier&) const = default;
};

// Description of the running system.
struct TWinVersion {
    QString Name;   // full name, with " with " and ServicePack when that is not empty
    QString Family; // "9x" or "NT"; empty for Win32s
    QString ServicePack;
    std::uint32_t Major = 0;
    std::uint32_t Minor = 0;
    std::uint32_t Build = 0;

    bool operator==(const TWinVersion&) const = default;
};

} // namespace fr
