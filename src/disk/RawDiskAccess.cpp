#include "disk/RawDiskAccess.h"

#include "disk/CdDisc.h"
#include "disk/MediaIdentity.h"
#include "disk/SectorDevice.h"
#include "platform/MountTable.h"
#include "platform/Platform.h"

#include <QFile>
#include <QRegularExpression>
#include <cmath>
#include <limits>
#include <sys/statvfs.h>
#include <sys/utsname.h>

namespace fr {

namespace {

// The older systems' disk calls number sectors in 32 bits.
bool fits9x(std::uint64_t sector) {
    return sector <= std::numeric_limits<std::uint32_t>::max();
}

// The drive information of a drive whose file system is mounted at root.
bool mountedGeometry(const QString& root, std::uint32_t bytesPerSector, TDriveInfo& info) {
    struct statvfs volume {};
    if (root.isEmpty() || ::statvfs(QFile::encodeName(root).constData(), &volume) != 0 ||
        volume.f_frsize == 0)
        return false;
    const std::uint64_t unit = volume.f_frsize;
    info.BytesPerSector = bytesPerSector;
    info.SectorsPerCluster =
        static_cast<std::uint32_t>(std::max<std::uint64_t>(1, unit / bytesPerSector));
    info.TotalBytes = volume.f_blocks * unit;
    // What this program may really use: blocks kept for the administrator do not count.
    info.FreeBytes = volume.f_bavail * unit;
    const std::uint64_t clusterBytes = std::uint64_t(info.SectorsPerCluster) * bytesPerSector;
    info.TotalClusters = info.TotalBytes / clusterBytes;
    info.FreeClusters = info.FreeBytes / clusterBytes;
    return true;
}

} // namespace

RawDiskAccess::RawDiskAccess(QString programDir, Platform& platform, Vwin32Device& vwin32Device)
    : programDir_(std::move(programDir)), platform_(platform),
      vwin32_(
          vwin32Device, [this] { return GetPlatformFamily(); },
          [this] { return GetWinVersion(); }) {}

RawDiskAccess::RawDiskAccess(QString programDir, Platform& platform)
    : programDir_(std::move(programDir)), platform_(platform),
      ownDevice_(std::make_unique<LinuxVwin32Device>()),
      vwin32_(
          *ownDevice_, [this] { return GetPlatformFamily(); }, [this] { return GetWinVersion(); }) {
}

QString RawDiskAccess::GetPlatformFamily() const {
    return platform_.osFamily();
}

TWinVersion RawDiskAccess::GetWinVersion() const {
    TWinVersion version;
    version.Name = platform_.osName();
    version.Family = platform_.osFamily();
    utsname system{};
    if (version.Family == QLatin1String("NT") && uname(&system) == 0) {
        const QRegularExpressionMatch numbers =
            QRegularExpression(QStringLiteral("^(\\d+)\\.(\\d+)(?:\\.(\\d+))?"))
                .match(QString::fromLatin1(system.release));
        if (numbers.hasMatch()) {
            version.Major = numbers.captured(1).toUInt();
            version.Minor = numbers.captured(2).toUInt();
            version.Build = numbers.captured(3).toUInt();
        }
    }
    return version;
}

TMediaIdentifier RawDiskAccess::GetMediaIdentifier(QChar letter) const {
    const DriveMap map = drives();
    const Drive* drive = map.drive(letter);
    if (!drive)
        return {};
    return MediaIdentity::identify(drive->device);
}

void RawDiskAccess::GetDriveInfo(const QString& driveText, TDriveInfo& info) const {
    if (driveText.isEmpty())
        return;
    // Network paths are not drives of this program; its own callers pass drive letters.
    if (driveText.startsWith(QLatin1String("\\\\"))) {
        info = {};
        return;
    }
    TDriveInfo result;
    const DriveMap map = drives();
    const Drive* drive = map.drive(driveText[0]);
    if (!drive) {
        info = result;
        return;
    }

    SectorDevice device;
    const bool deviceOpen =
        !drive->device.isEmpty() && device.open(drive->device, SectorDevice::Mode::Read);
    const bool audioDisc =
        CdDisc::isCdSource(drive->device) && CdDisc(drive->device).firstTrackIsAudio();
    if (audioDisc) {
        info = result;
        return;
    }
    const std::uint32_t bytesPerSector = deviceOpen ? device.sectorSize() : 512;

    if (!mountedGeometry(drive->root, bytesPerSector, result) && deviceOpen && device.size() > 0) {
        // A medium without a mounted file system is laid out as its bare sectors.
        result.BytesPerSector = bytesPerSector;
        result.SectorsPerCluster = 1;
        result.TotalBytes = device.size();
        result.TotalClusters = device.size() / bytesPerSector;
    }

    // The 9x family cannot count more than 2 GB in its cluster sizes.
    if (GetPlatformFamily() == QLatin1String("9x") && result.TotalBytes > 0x7FFFFFFFu)
        result.SectorsPerCluster =
            static_cast<std::uint32_t>(std::nearbyint(result.SectorsPerCluster / 4.0));
    result.ClusterSize = result.SectorsPerCluster * result.BytesPerSector;
    info = result;
}

QString RawDiskAccess::deviceOf(std::uint8_t drive) const {
    const DriveMap map = drives();
    const Drive* found = map.drive(driveLetter(drive));
    return found ? found->device : QString();
}

bool RawDiskAccess::ReadSectors(std::uint8_t drive, std::uint64_t firstSector, std::uint16_t count,
                                void* buffer) {
    const QString family = GetPlatformFamily();
    if (family == QLatin1String("NT") && ReadSectorsNT(drive, firstSector, count, buffer))
        return true;
    if (family == QLatin1String("9x"))
        return fits9x(firstSector) &&
               vwin32_.ReadSectors9x(drive, std::uint32_t(firstSector), count, buffer);
    return false;
}

bool RawDiskAccess::WriteSectors(std::uint8_t drive, std::uint64_t firstSector, std::uint16_t count,
                                 const void* buffer) {
    const QString family = GetPlatformFamily();
    if (family == QLatin1String("NT") && WriteSectorsNT(drive, firstSector, count, buffer))
        return true;
    if (family == QLatin1String("9x"))
        return fits9x(firstSector) &&
               vwin32_.WriteSectors9x(drive, std::uint32_t(firstSector), count, buffer, 1);
    return false;
}

bool RawDiskAccess::ReadSectorsNT(std::uint8_t drive, std::uint64_t firstSector,
                                  std::uint16_t count, void* buffer) {
    TDriveInfo info;
    GetDriveInfo(QString(driveLetter(drive)), info);
    if (info.BytesPerSector == 0)
        return false;
    SectorDevice device;
    if (!device.open(deviceOf(drive), SectorDevice::Mode::Read))
        return false;
    return device.readAt(std::uint64_t(firstSector) * info.BytesPerSector, buffer,
                         std::size_t(count) * info.BytesPerSector);
}

bool RawDiskAccess::WriteSectorsNT(std::uint8_t drive, std::uint64_t firstSector,
                                   std::uint16_t count, const void* buffer) {
    TDriveInfo info;
    GetDriveInfo(QString(driveLetter(drive)), info);
    if (info.BytesPerSector == 0)
        return false;
    const QString path = deviceOf(drive);
    if (VolumeMounts::inUse(path))
        return false;
    SectorDevice device;
    if (!device.open(path, SectorDevice::Mode::Write))
        return false;
    return device.writeAt(std::uint64_t(firstSector) * info.BytesPerSector, buffer,
                          std::size_t(count) * info.BytesPerSector);
}

bool RawDiskAccess::ReadCluster(std::uint8_t drive, std::uint64_t group, void* buffer) {
    TDriveInfo info;
    GetDriveInfo(QString(driveLetter(drive)), info);
    if (info.BytesPerSector == 0 || info.SectorsPerCluster == 0)
        return false;
    const std::uint64_t first = group * info.SectorsPerCluster;
    const auto count = static_cast<std::uint16_t>(info.SectorsPerCluster);
    if (GetPlatformFamily() == QLatin1String("9x"))
        return fits9x(first) && vwin32_.ReadSectors9x(drive, std::uint32_t(first), count, buffer);
    return ReadSectorsNT(drive, first, count, buffer);
}

} // namespace fr
