#include "disk/DriveLabels.h"

#include "disk/MediaIdentity.h"
#include "platform/DriveMap.h"

namespace fr {

std::vector<std::pair<QChar, QString>> drivesWithLabels(const QString& programDir) {
    std::vector<std::pair<QChar, QString>> entries;
    const DriveMap drives = DriveMap::build(programDir);
    for (const Drive& drive : drives.drives())
        entries.emplace_back(QChar(drive.letter),
                             MediaIdentity::identify(drive.device).VolumeLabel);
    return entries;
}

} // namespace fr
