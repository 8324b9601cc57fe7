#include "platform/TypedPath.h"

#include "platform/DriveMap.h"

#include <QStringList>

namespace fr {

namespace {

bool isDriveForm(const QString& path) {
    return path.size() >= 3 && path[0].isLetter() && path[0].unicode() < 128 && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
}

QString resolveDots(const QString& drivePath) {
    QString rest = drivePath.mid(3);
    rest.replace('/', '\\');
    QStringList kept;
    for (const QString& part : rest.split('\\')) {
        if (part.isEmpty() || part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        kept << part;
    }
    return drivePath.left(2) + '\\' + kept.join('\\');
}

} // namespace

QString typedPathToDriveForm(const QString& typed, const DriveMap& drives) {
    if (typed.startsWith('/')) {
        const QString converted = drives.toDriveForm(typed);
        return converted.isEmpty() ? typed : converted;
    }
    if (isDriveForm(typed))
        return resolveDots(typed);
    return typed;
}

} // namespace fr
