#pragma once

#include "core/RawDiskTypes.h"
#include "platform/DriveMap.h"

#include <QString>
#include <cstdint>

namespace fr {

// The drives' media as the pages and jobs reach them through the program context: what a
// drive holds, its geometry and identity, and its sectors. The program's own disk access
// implements it; the context holds no more than this view of it.
class MediaAccess {
public:
    virtual ~MediaAccess() = default;

    virtual QString GetPlatformFamily() const = 0;
    virtual TWinVersion GetWinVersion() const = 0;

    virtual TMediaIdentifier GetMediaIdentifier(QChar letter) const = 0;

    // Accepts "A", "A:", "A:\" or "A:\some\path". An empty text leaves the record as it is;
    // a drive without a readable medium gives all words zero.
    virtual void GetDriveInfo(const QString& driveText, TDriveInfo& info) const = 0;

    // Drive numbers are 1-based: 1 = A:, 3 = C:. The buffer holds count sectors. A transfer
    // that cannot move every byte fails as a whole.
    virtual bool ReadSectors(std::uint8_t drive, std::uint64_t firstSector, std::uint16_t count,
                             void* buffer) = 0;
    // Writing is refused on the volume that holds "/" and on a volume in use (mounted, also
    // through another device over the same sectors): a raw write under a live file system
    // would corrupt it. Unmount first.
    virtual bool WriteSectors(std::uint8_t drive, std::uint64_t firstSector, std::uint16_t count,
                              const void* buffer) = 0;
    // One cluster-sized group of sectors, counted from sector 0 of the volume.
    virtual bool ReadCluster(std::uint8_t drive, std::uint64_t group, void* buffer) = 0;

    // The drive letters and what they stand for, as they are now.
    virtual DriveMap drives() const = 0;
};

} // namespace fr
