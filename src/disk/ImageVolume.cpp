#include "disk/ImageVolume.h"

#include "disk/CdDisc.h"
#include "disk/SectorDevice.h"
#include "platform/DeviceUsage.h"
#include "platform/DriveMap.h"
#include "platform/FileIdentity.h"
#include "platform/FileName.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sys/stat.h>

namespace fr {

ImageVolume ImageVolume::ofDrive(const DriveMap& drives, QChar letter) {
    ImageVolume volume;
    const Drive* drive = letter.isNull() ? nullptr : drives.drive(letter);
    if (!drive || drive->device.isEmpty())
        return volume;
    return ofDevice(drive->device);
}

ImageVolume ImageVolume::ofDevice(const QString& path) {
    ImageVolume volume;
    if (path.isEmpty())
        return volume;
    volume.device = path;
    SectorDevice device;
    // A drive without a readable medium has no sectors: its image is empty.
    if (!device.open(path, SectorDevice::Mode::Read) || device.sectorSize() == 0)
        return volume;
    volume.bytesPerSector = device.sectorSize();
    volume.sectors = device.size() / device.sectorSize();
    return volume;
}

bool liesOnVolume(const QString& nativeFile, const QString& device) {
    if (nativeFile.isEmpty() || device.isEmpty())
        return false;
    // A BIN/CUE disc's sectors are in the .bin beside its cue sheet.
    if (sameFile(nativeFile, device) || sameFile(nativeFile, CdDisc::dataTrackSource(device)))
        return true;
    // A file not made yet lies where its folder is.
    QString existing = nativeFile;
    struct stat status {};
    while (::stat(fileNameBytes(existing).constData(), &status) != 0) {
        const QString parent = QFileInfo(existing).path();
        if (parent == existing)
            return false;
        existing = parent;
    }
    const std::vector<dev_t> overlapping = DeviceUsage::overlapping(device);
    return std::find(overlapping.begin(), overlapping.end(), status.st_dev) != overlapping.end();
}

} // namespace fr
