#pragma once

#include <QString>
#include <cstdint>

namespace fr {

class DriveMap;

// A drive's medium as the image jobs see it: every sector of its device, not only what the
// file system counts, so that an image holds the whole volume (a 1.44 MB floppy gives its
// 2,880 sectors, boot sector and tables included).
struct ImageVolume {
    QString device;                   // block device or image file; empty without one
    std::uint32_t bytesPerSector = 0; // 0 when no medium can be read
    std::uint64_t sectors = 0;

    std::uint64_t bytes() const { return sectors * bytesPerSector; }
    static ImageVolume ofDrive(const DriveMap& drives, QChar letter);
    // A block device or image file no drive stands for.
    static ImageVolume ofDevice(const QString& device);
};

// Whether a file (or the file a missing path would become) lies on the volume: on a file
// system mounted from the device or from any device over the same sectors, or the device
// itself under another name. An image written there would overwrite what it is made of.
bool liesOnVolume(const QString& nativeFile, const QString& device);

} // namespace fr
