#include "cli/PathArguments.h"

#include "platform/DriveMap.h"
#include "platform/FileIdentity.h"
#include "platform/FileName.h"
#include "platform/TypedPath.h"

#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace fr::cli {

namespace {

bool startsWithDrive(const QString& typed) {
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:([\\\\/]|$)"));
    return drive.match(fileNameAsText(typed.left(3))).hasMatch();
}

} // namespace

FileArgument fileArgument(const QString& typed, const DriveMap& drives, QString* error) {
    const QString path = startsWithDrive(typed) ? typed : absoluteFileName(typed);
    const QString driveForm = typedPathToDriveForm(path, drives);
    // A name on a drive that drive form cannot hold (it has a backslash) is kept as the native
    // path it is, in the journal too.
    if (driveForm.startsWith('/') && drives.driveHolding(driveForm))
        return {driveForm, driveForm};
    const QString native = startsWithDrive(driveForm) ? drives.toNative(driveForm) : QString();
    if (native.isEmpty()) {
        *error =
            typed.isEmpty() ? QStringLiteral("an empty path names no file")
            : startsWithDrive(driveForm)
                ? QStringLiteral("%1: drive %2: is not in the program's drive map, or has "
                                 "no folder")
                      .arg(typed, driveForm.left(1).toUpper())
                : QStringLiteral("%1: no drive of the program's drive map holds it").arg(typed);
        return {};
    }
    return {driveForm, native};
}

QString fileReason(const QString& nativePath) {
    struct stat status {};
    if (::stat(fileNameBytes(nativePath).constData(), &status) == 0)
        return nativePath;
    return nativePath + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace fr::cli
