#include "rescue/CopyStartCheck.h"

#include "core/CopyJob.h"
#include "core/ProgramContext.h"
#include "core/RecordText.h"
#include "platform/DestinationLock.h"
#include "platform/DriveMap.h"
#include "platform/FileIdentity.h"
#include "platform/FileName.h"
#include "rescue/OutputTarget.h"
#include "rescue/RegisterRecord.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace fr {

bool journalCanHold(const QString& source, const QString& destination, std::uint64_t bytes) {
    CopyJob job;
    job.sourceName = source;
    job.destinationName = destination;
    job.totalSize = bytes;
    return job.fitsRecord();
}

bool checkCopyStart(ProgramContext& context, const DriveMap& drives, const QString& source,
                    const QString& destination, bool resume, CopyStartDialogue& dialogue,
                    CopyStart* start) {
    const QString names = source + QStringLiteral(" -> ") + destination;
    if (source == destination) {
        dialogue.refused(175, names, {});
        return false;
    }
    // The journal keeps each path in 255 bytes; a cut path would name another file.
    if (!RecordText::fits(source) || !RecordText::fits(destination)) {
        dialogue.refused(230, names, {});
        return false;
    }
    start->nativeSource = drives.toNative(source);
    start->nativeDestination = drives.toNative(destination);
    const QString& nativeSource = start->nativeSource;
    const QString& nativeDestination = start->nativeDestination;
    if (sameFile(nativeSource, nativeDestination)) {
        dialogue.refused(175, names, {});
        return false;
    }

    bool ok = true;
    // Kinds are looked at without opening anything: opening a pipe would wait for a writer.
    const FileKind sourceKind = kindOf(nativeSource);
    if (sourceKind == FileKind::Missing) {
        dialogue.refused(102, nativeSource, QString());
        ok = false;
    } else if (sourceKind != FileKind::Regular) {
        dialogue.refused(234, nativeSource, QString());
        ok = false;
    }
    // A device, folder or pipe as destination would be overwritten or fail half-way; nothing
    // is asked about it and nothing is written.
    const FileKind destinationKind = kindOf(nativeDestination);
    if (destinationKind != FileKind::Missing && destinationKind != FileKind::Regular) {
        dialogue.refused(235, nativeDestination, QString());
        return false;
    }
    // The journal, the register, the settings and the rest of the program folder keep what
    // the program knows; a copy written over them would lose it.
    if (isProgramFile(nativeDestination, context.programDir)) {
        dialogue.refused(kTextOutputIsProgramFile, nativeDestination, QString());
        return false;
    }
    // Another job writing this file would have its work emptied or mixed with this one's.
    if (destinationInUse(nativeDestination)) {
        dialogue.refused(kTextDestinationInUse, nativeDestination, QString());
        return false;
    }
    bool emptyDestination = false;
    if (destinationKind == FileKind::Regular) {
        if (!dialogue.replaceExisting(nativeDestination, ok, resume))
            ok = false;
        else if (!resume)
            emptyDestination = true; // only once every check has passed
    }

    if (ok) {
        start->sourceSize = static_cast<std::uint64_t>(fileSize(nativeSource));
        if (!journalCanHold(source, destination, start->sourceSize)) {
            dialogue.refused(225, nativeSource, QString());
            ok = false;
        }
    }
    if (ok) {
        TDriveInfo target;
        context.disk.GetDriveInfo(QString(drives.letterOf(destination)), target);
        // The destination about to be emptied frees its own space for the copy.
        const std::uint64_t freed =
            emptyDestination ? static_cast<std::uint64_t>(fileSize(nativeDestination)) : 0;
        if (start->sourceSize > target.FreeBytes + freed) {
            dialogue.refused(104, nativeDestination,
                             QStringLiteral("%1 bytes needed, %2 free")
                                 .arg(start->sourceSize)
                                 .arg(target.FreeBytes + freed));
            ok = false;
        }
    }
    if (!ok)
        return false;

    const TMediaIdentifier medium = context.disk.GetMediaIdentifier(drives.letterOf(destination));
    if (RegisterFile(context).isRegistered(medium.SerialNumber) &&
        !dialogue.useRegisteredMedium(destination))
        return false;

    if (emptyDestination) {
        const int file =
            ::open(fileNameBytes(nativeDestination).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (file < 0) {
            dialogue.failed(103, nativeDestination, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        ::close(file);
    }
    return true;
}

} // namespace fr
