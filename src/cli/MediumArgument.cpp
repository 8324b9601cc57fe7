#include "cli/MediumArgument.h"

#include "cli/PathArguments.h"
#include "core/ProgramContext.h"
#include "disk/BareSectors.h"
#include "disk/MediaIdentity.h"
#include "platform/DriveMap.h"
#include "platform/FileIdentity.h"
#include "rescue/JournalEntry.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <sys/stat.h>

namespace fr::cli {

namespace {

bool isBlockDevice(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISBLK(status.st_mode);
}

} // namespace

QString Medium::code() const {
    return hasDrive() ? QString(2, letter) : JournalEntry::deviceCode(device);
}

QString Medium::name() const {
    return hasDrive() ? QString(letter) : device;
}

QString Medium::described() const {
    return hasDrive() ? QStringLiteral("drive %1: (%2)").arg(letter).arg(device) : device;
}

TMediaIdentifier Medium::identity(ProgramContext& context) const {
    return hasDrive() ? context.disk.GetMediaIdentifier(letter) : MediaIdentity::identify(device);
}

TDriveInfo Medium::layout(ProgramContext& context) const {
    if (!hasDrive())
        return bareSectorsInfo(device);
    TDriveInfo info;
    context.disk.GetDriveInfo(QString(letter), info);
    return info;
}

Medium mediumArgument(const QString& typed, const DriveMap& drives, QString* error) {
    static const QRegularExpression letterOnly(QStringLiteral("^([A-Za-z]):?\\\\?$"));
    if (const auto match = letterOnly.match(typed); match.hasMatch()) {
        const QChar letter = match.captured(1).front().toUpper();
        if (const Drive* drive = drives.drive(letter))
            return {letter, drive->device};
        *error = QStringLiteral("drive %1: is not in the program's drive map").arg(letter);
        return {};
    }
    // The path as typed, not resolved: a link such as /dev/disk/by-id/... names the same stick
    // on a later resume even when the system has given it another device name. An image file
    // may also be named in drive form.
    static const QRegularExpression drivePath(QStringLiteral("^[A-Za-z]:[\\\\/]."));
    const QString native = drivePath.match(typed).hasMatch()
                               ? drives.toNative(typed)
                               : QDir::cleanPath(QDir::current().absoluteFilePath(typed));
    if (native.isEmpty()) {
        *error = QStringLiteral("%1: drive %2: is not in the program's drive map, or has no "
                                "folder")
                     .arg(typed, typed.left(1).toUpper());
        return {};
    }
    for (const Drive& drive : drives.drives())
        if (!drive.device.isEmpty() && sameFile(drive.device, native))
            return {QChar(drive.letter), drive.device};
    const FileKind kind = kindOf(native);
    if (kind == FileKind::Regular || (kind == FileKind::Device && isBlockDevice(native)))
        return {QChar(), native};
    *error = kind == FileKind::Missing
                 ? fileReason(native)
                 : QStringLiteral("%1: is neither a block device nor an image file").arg(typed);
    return {};
}

Medium mediumOfCode(const QString& code, const DriveMap& drives) {
    if (JournalEntry::isDeviceCode(code))
        return {QChar(), JournalEntry::deviceOfCode(code)};
    const QChar letter = code.isEmpty() ? QChar() : code.front().toUpper();
    const Drive* drive = letter.isNull() ? nullptr : drives.drive(letter);
    return {letter, drive ? drive->device : QString()};
}

} // namespace fr::cli
