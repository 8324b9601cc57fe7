#include "disk/ImageEx.h"

#include "core/JobSignals.h"
#include "disk/BlockReader.h"
#include "platform/DestinationLock.h"
#include "platform/Platform.h"
#include "platform/Transfer.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace fr {

ImageOutcome ImageEx::transfer() {
    ImageOutcome outcome;
    const JobSignals& flags = *setup_.jobSignals;
    // Remembered before anything else; the priority follows the box only when it changes.
    bool lowPriority = flags.lowPriority.load();
    const std::uint64_t sector = setup_.bytesPerSector;
    const std::uint64_t group = kImageGroupSectors * sector;
    std::uint64_t pos = std::min(setup_.position, setup_.end);
    outcome.position = static_cast<std::uint32_t>(pos);

    // Created when missing, never truncated: a resumed job keeps what an earlier run wrote.
    const int image = ::open(QFile::encodeName(setup_.imagePath).constData(),
                             O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (image < 0) {
        outcome.failure = imageFailure(setup_.imagePath, errno);
        return outcome;
    }
    // Held until the image is closed: a second job on this file is refused.
    if (const int error = lockDestination(image)) {
        ::close(image);
        outcome.failure = error == EWOULDBLOCK
                              ? setup_.imagePath + QStringLiteral(": ") + destinationInUseReason()
                              : imageFailure(setup_.imagePath, error);
        return outcome;
    }
    BlockReader medium;
    if (pos < setup_.end) {
        BlockReader::Options options;
        options.unit = group;
        options.afterFailure = group; // the next group follows an unreadable one
        options.from = pos * sector;
        options.until = std::uint64_t(setup_.end) * sector;
        // The image holds the volume: a disc's data track of raw sectors gives its user data.
        options.driveMedium = true;
        // A paused or stopping job reads nothing more from a medium that may be dying.
        options.hold = [jobSignals = setup_.jobSignals] {
            return jobSignals->paused.load() || jobSignals->stopRequested.load();
        };
        if (const int error = medium.open(setup_.mediumPath, options)) {
            ::close(image);
            // A medium already gone ends the job as a stop, where it stood.
            outcome.mediumGone = saysMediumGone(error);
            if (!outcome.mediumGone)
                outcome.failure = imageFailure(setup_.mediumPath, error);
            return outcome;
        }
    }
    const std::vector<std::uint8_t> zeros(group, 0);

    int error = 0;
    QString failedFile = setup_.imagePath;
    while (pos < setup_.end && !flags.stopRequested.load()) {
        const bool wanted = flags.lowPriority.load();
        if (wanted != lowPriority) {
            setup_.platform.setIdlePriority(wanted);
            lowPriority = wanted;
        }
        if (waitWhilePaused())
            continue;
        BlockReader::Chunk chunk;
        // The reader hands out groups up to the end; running dry before it is no place of
        // the medium but a fault, and must not pass for a finished image.
        if (!medium.next(chunk) || chunk.offset != pos * sector) {
            // A medium that went away ends the job as a stop: the groups before the loss are
            // in the image, nothing after it is written as zeros.
            outcome.mediumGone = medium.mediumLost() != 0;
            if (outcome.mediumGone)
                break;
            error = EIO;
            failedFile = setup_.mediumPath;
            break;
        }
        const std::uint64_t left = (setup_.end - pos) * sector;
        const std::uint8_t* data = chunk.failed ? zeros.data() : chunk.data;
        const std::uint64_t bytes = std::min(chunk.failed ? group : chunk.length, left);
        outcome.readFailed = outcome.readFailed || chunk.failed;
        if (chunk.failed)
            noteUnreadable(outcome, pos * sector, bytes);
        const TransferResult put = writeFully(image, data, bytes, pos * sector);
        reads_ = medium.reads();
        failedReads_ = medium.failedReads();
        if (put.error != 0) {
            // The whole groups written before the failure are handled.
            pos += put.bytes / group * kImageGroupSectors;
            error = put.error;
            break;
        }
        // A short last group still ends the volume.
        pos = std::min<std::uint64_t>(setup_.end, pos + (bytes + sector - 1) / sector);
        reportProgress(static_cast<std::uint32_t>(pos), false);
    }
    outcome.position = static_cast<std::uint32_t>(pos);
    medium.stop();
    // A write the system could only refuse late shows at the close.
    if (::close(image) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        outcome.failure = imageFailure(failedFile, error);
        return outcome;
    }
    reportProgress(outcome.position, true);
    return outcome;
}

} // namespace fr
