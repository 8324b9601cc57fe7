#include "disk/BareSectors.h"

#include "disk/SectorDevice.h"

#include <algorithm>
#include <limits>

namespace fr {

TDriveInfo bareSectorsInfo(const QString& device) {
    TDriveInfo info;
    SectorDevice opened;
    if (device.isEmpty() || !opened.open(device, SectorDevice::Mode::Read) ||
        opened.sectorSize() == 0 || opened.size() == 0)
        return info;
    info.BytesPerSector = opened.sectorSize();
    info.SectorsPerCluster = 1;
    info.ClusterSize = info.BytesPerSector;
    info.TotalBytes = opened.size();
    // The cluster count keeps to its 32-bit word; the byte count holds the whole volume.
    info.TotalClusters = std::min<std::uint64_t>(opened.size() / opened.sectorSize(),
                                                 std::numeric_limits<std::uint32_t>::max());
    return info;
}

} // namespace fr
