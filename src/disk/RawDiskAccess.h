#pragma once

#include "core/MediaAccess.h"
#include "core/RawDiskTypes.h"
#include "disk/Vwin32.h"
#include "platform/DriveMap.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace fr {

class Platform;

// The program's only way below the file system: which system runs, which medium is in a
// drive, how a drive is laid out, and absolute sector transfers. Drives are looked up afresh
// on every call, so a medium changed between two calls is seen.
class RawDiskAccess : public MediaAccess {
public:
    RawDiskAccess(QString programDir, Platform& platform, Vwin32Device& vwin32Device);
    // Over this system's own sector driver of the old family, which cannot open.
    RawDiskAccess(QString programDir, Platform& platform);

    QString GetPlatformFamily() const override;
    TWinVersion GetWinVersion() const override;

    TMediaIdentifier GetMediaIdentifier(QChar letter) const override;

    // Accepts "A", "A:", "A:\" or "A:\some\path". An empty text leaves the record as it is;
    // a drive without a readable medium gives all words zero.
    void GetDriveInfo(const QString& driveText, TDriveInfo& info) const override;

    // Drive numbers are 1-based: 1 = A:, 3 = C:. The buffer holds count sectors. A transfer
    // that cannot move every byte fails as a whole.
    bool ReadSectors(std::uint8_t drive, std::uint64_t firstSector, std::uint16_t count,
                     void* buffer) override;
    // Writing is refused on the volume that holds "/" and on a volume in use (mounted, also
    // through another device over the same sectors): a raw write under a live file system
    // would corrupt it. Unmount first.
    bool WriteSectors(std::uint8_t drive, std::uint64_t firstSector, std::uint16_t count,
                      const void* buffer) override;
    // One cluster-sized group of sectors, counted from sector 0 of the volume.
    bool ReadCluster(std::uint8_t drive, std::uint64_t group, void* buffer) override;

    DriveMap drives() const override { return DriveMap::build(programDir_); }

private:
    bool ReadSectorsNT(std::uint8_t drive, std::uint64_t firstSector, std::uint16_t count,
                       void* buffer);
    bool WriteSectorsNT(std::uint8_t drive, std::uint64_t firstSector, std::uint16_t count,
                        const void* buffer);
    QString deviceOf(std::uint8_t drive) const;

    QString programDir_;
    Platform& platform_;
    std::unique_ptr<LinuxVwin32Device> ownDevice_; // when no device was given
    Vwin32 vwin32_;
};

// The drive letter of a 1-based drive number, and back.
inline QChar driveLetter(std::uint8_t drive) {
    return QChar(64 + drive);
}
inline std::uint8_t driveNumber(QChar letter) {
    return static_cast<std::uint8_t>(letter.toUpper().unicode() - 64);
}

} // namespace fr
