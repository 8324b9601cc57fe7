#include "rescue/JournalEntry.h"

#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "core/RescueMap.h"
#include "platform/DriveMap.h"
#include "platform/FileIdentity.h"

#include <QLocale>

namespace fr::JournalEntry {

bool isMediumCode(const QString& name) {
    // Only a drive letter written twice: a network path also begins with two equal
    // characters, and it names a file.
    return name.size() == 2 && name[0] == name[1] && name[0].isLetter();
}

namespace {
const QString kDevicePrefix = QStringLiteral("::");
}

bool isDeviceCode(const QString& name) {
    return name.startsWith(kDevicePrefix) && name.size() > kDevicePrefix.size() + 1 &&
           name[kDevicePrefix.size()] == '/';
}

QString deviceCode(const QString& nativeDevice) {
    return kDevicePrefix + nativeDevice;
}

QString deviceOfCode(const QString& name) {
    return isDeviceCode(name) ? name.mid(kDevicePrefix.size()) : QString();
}

bool namesMedium(const QString& name) {
    return isMediumCode(name) || isDeviceCode(name);
}

QChar driveOfMedium(const QString& name, const DriveMap& drives) {
    if (isMediumCode(name))
        return drives.drive(name[0]) ? name[0].toUpper() : QChar();
    const QString device = deviceOfCode(name);
    for (const Drive& drive : drives.drives())
        if (!device.isEmpty() && !drive.device.isEmpty() && sameFile(drive.device, device))
            return QChar(drive.letter);
    return {};
}

bool isFilePath(const QString& name) {
    return name.mid(1, 2) == QLatin1String(":\\") || name.startsWith('/');
}

Kind kindOf(const CopyJob& job) {
    if (namesMedium(job.destinationName))
        return Kind::ImageToMedium;
    if (namesMedium(job.sourceName))
        return Kind::MediumToImage;
    return Kind::FileCopy;
}

namespace {

// "A" for drive A:'s medium, the path for a medium without a letter.
QString mediumShown(const QString& name) {
    return isDeviceCode(name) ? deviceOfCode(name) : name.left(1);
}

} // namespace

QString sourceField(const CopyJob& job, const ProgramContext& context) {
    return kindOf(job) == Kind::MediumToImage ? context.text(140) + mediumShown(job.sourceName)
                                              : job.sourceName;
}

QString destinationField(const CopyJob& job, const ProgramContext& context) {
    return kindOf(job) == Kind::ImageToMedium ? context.text(154) + mediumShown(job.destinationName)
                                              : job.destinationName;
}

QString listLine(const CopyJob& job, const ProgramContext& context) {
    return sourceField(job, context) + QStringLiteral(" -> ") + destinationField(job, context);
}

QString megabytes(std::uint64_t bytes) {
    QString text = QLocale().toString(bytes / 1048576.0, 'g', 3);
    return text.replace('e', 'E');
}

bool isDamaged(const CopyJob& job) {
    // A copy's last fill block is written whole, so a copy stopped as it ended may be
    // journalled up to one block (2048 bytes at most) past its end; an image job counts whole
    // sectors and never passes its end.
    constexpr std::uint64_t kLargestFillBlock = 2048;
    const std::uint64_t slack = kindOf(job) == Kind::FileCopy ? kLargestFillBlock : 0;
    // A large job's record whose sizes were lost cannot say where to resume.
    return job.sizesLost() || job.position.load() > job.totalSize + slack;
}

namespace {

// Good data first reads on beyond the position: a destination that ends past it, where the
// bytes the job's map calls read end, is what the stopped job left.
bool mapAccountsFor(const ProgramContext& context, const CopyJob& job, quint64 size) {
    const MapFileContents map = readMapFile(LiveJob::mapPathOf(context.programDir, job));
    if (!map.error.isEmpty() || map.map.size != static_cast<std::int64_t>(job.totalSize))
        return false;
    std::int64_t reach = 0;
    for (const RescueMap::Block& block : map.map.blocks())
        if (block.status == RescueMap::Status::Rescued)
            reach = std::max(reach, block.range.end);
    return size > job.position.load() && static_cast<std::int64_t>(size) == reach;
}

} // namespace

QString status(const CopyJob& job, const ProgramContext& context) {
    if (isDamaged(job))
        return context.text(263);
    const DriveMap drives = DriveMap::build(context.programDir);
    const auto nativeOf = [&drives](const QString& name) {
        const QString native = drives.toNative(name);
        return native.isEmpty() ? name : native;
    };
    QString status;
    const std::int64_t sourceSize = fileSize(nativeOf(job.sourceName));
    if (sourceSize < 0)
        status = context.text(70);
    else if (static_cast<quint64>(sourceSize) != job.totalSize)
        status = context.text(72);

    const std::int64_t destinationSize = fileSize(nativeOf(job.destinationName));
    QString destinationState;
    if (destinationSize < 0) {
        destinationState = context.text(71);
    } else {
        const quint64 size = static_cast<quint64>(destinationSize);
        const quint64 position = job.position.load();
        // A stop journals the exact position the copy reached, so the destination ends there;
        // one fill block (512 to 2048 bytes) past it is what a copy that journalled a step
        // behind may have left. Any other length is reported.
        if (size != position && size != position + 2048 && size != position + 1024 &&
            size != position + 512 && !mapAccountsFor(context, job, size))
            destinationState = context.text(73);
    }
    if (!destinationState.isEmpty())
        status += (status.isEmpty() ? QString() : QStringLiteral(", ")) + destinationState;
    return status;
}

} // namespace fr::JournalEntry
