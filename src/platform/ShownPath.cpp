#include "platform/ShownPath.h"

#include "platform/DriveMap.h"

namespace fr {

QString shownPath(const QString& nativePath, const DriveMap& drives) {
    const QString driveForm = drives.toDriveForm(nativePath);
    return driveForm.isEmpty() ? nativePath : driveForm;
}

QString shownPath(const QString& nativePath, const QString& programDir) {
    return shownPath(nativePath, DriveMap::build(programDir));
}

} // namespace fr
