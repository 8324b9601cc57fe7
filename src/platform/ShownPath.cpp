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

QString withShownPath(QString message, const QString& nativePath, const QString& programDir) {
    if (nativePath.isEmpty() || !message.contains(nativePath))
        return message;
    return message.replace(nativePath, shownPath(nativePath, programDir));
}

} // namespace fr
