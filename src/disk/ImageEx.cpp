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
#include <memory>
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
    std::uint64_t pos = planAreas();
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
        outcome.failure = destinationFailure(setup_.imagePath, error);
        return outcome;
    }
    BlockReader::Options options;
    // The image holds the volume: a disc's data track of raw sectors gives its user data.
    options.driveMedium = true;
    std::unique_ptr<BlockReader> medium;
    std::uint64_t areaEnd = pos;
    int error = 0;
    QString failedFile = setup_.imagePath;
    QString commitFailure;
    // The reader of the next area still to read; a medium already gone ends the job as a stop,
    // where it stood.
    const auto openNextArea = [&] {
        if (const int opened = enterNextArea(medium, setup_.mediumPath, options, pos, areaEnd)) {
            outcome.mediumGone = saysMediumGone(opened);
            if (!outcome.mediumGone) {
                error = opened;
                failedFile = setup_.mediumPath;
            }
            return false;
        }
        return true;
    };
    const bool opened = !areasLeft() || openNextArea();
    const std::vector<std::uint8_t> zeros(group, 0);

    while (opened && !flags.stopRequested.load()) {
        if (pos >= areaEnd) {
            // The area is read; between it and the next one the map says all is read.
            if (!areasLeft()) {
                pos = std::max<std::uint64_t>(pos, setup_.end);
                break;
            }
            if (!openNextArea())
                break;
            continue;
        }
        const bool wanted = flags.lowPriority.load();
        if (wanted != lowPriority) {
            setup_.platform.setIdlePriority(wanted);
            lowPriority = wanted;
        }
        if (waitWhilePaused())
            continue;
        BlockReader::Chunk chunk;
        // The reader hands out groups up to the area's end; running dry before it is no place
        // of the medium but a fault, and must not pass for a finished image.
        if (!medium->next(chunk) || chunk.offset != pos * sector) {
            // A medium that went away ends the job as a stop: the groups before the loss are
            // in the image, nothing after it is written as zeros.
            outcome.mediumGone = medium->mediumLost() != 0;
            if (outcome.mediumGone)
                break;
            error = EIO;
            failedFile = setup_.mediumPath;
            break;
        }
        // Behind the area's end lie sectors read already: they stay as they are.
        const std::uint64_t left = (areaEnd - pos) * sector;
        const std::uint8_t* data = chunk.failed ? zeros.data() : chunk.data;
        const std::uint64_t bytes = std::min(chunk.failed ? group : chunk.length, left);
        outcome.readFailed = outcome.readFailed || chunk.failed;
        if (chunk.failed)
            noteUnreadable(outcome, pos * sector, bytes);
        const TransferResult put = writeFully(image, data, bytes, pos * sector);
        countReads(*medium);
        if (put.error != 0) {
            // The whole groups written before the failure are handled.
            pos += put.bytes / group * kImageGroupSectors;
            error = put.error;
            break;
        }
        // A short last group still ends the volume.
        pos = std::min<std::uint64_t>(areaEnd, pos + (bytes + sector - 1) / sector);
        if (checkpointDue() &&
            (error = handOver(image, pos, outcome.unreadableAreas, &commitFailure)) != 0)
            break;
        reportProgress(static_cast<std::uint32_t>(pos), false);
    }
    outcome.position = static_cast<std::uint32_t>(pos);
    if (medium) {
        medium->stop();
        countReads(*medium);
    }
    // However it ended, the map and the record say where: after the data is on the disk. After
    // a failure this is a last try only: the map and record keep their last commit otherwise.
    if (error == 0) {
        error = checkpoint(image, pos, outcome.unreadableAreas, &commitFailure);
    } else if (commitFailure.isEmpty()) {
        QString ignored;
        checkpoint(image, pos, outcome.unreadableAreas, &ignored);
    }
    stopCommits();
    // A write the system could only refuse late shows at the close.
    if (::close(image) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        outcome.failure =
            !commitFailure.isEmpty() ? commitFailure : imageFailure(failedFile, error);
        return outcome;
    }
    reportProgress(outcome.position, true);
    return outcome;
}

} // namespace fr
