#include "disk/ImageRaw.h"

#include "core/JobSignals.h"
#include "disk/BlockReader.h"
#include "disk/CdDisc.h"
#include "disk/DataTrack.h"
#include "platform/DestinationLock.h"
#include "platform/MountTable.h"
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

namespace {

// Writes whole sectors at offset. A run the medium refuses is written again group by group,
// so that only the groups that really fail are counted, as single group writes would be. A
// medium that went away sets `lost` and is written no more.
std::uint64_t writeSectors(TransferFile& medium, const std::uint8_t* data, std::uint64_t bytes,
                           std::uint64_t offset, std::uint64_t group, std::uint64_t sector,
                           bool& lost) {
    const int error = medium.writeFully(data, bytes, offset).error;
    if (error == 0)
        return 0;
    lost = mediumGone(medium.fd(), error);
    std::uint64_t unwritten = 0;
    for (std::uint64_t done = 0; done < bytes && !lost; done += group) {
        const std::uint64_t length = std::min(group, bytes - done);
        const int failed = medium.writeFully(data + done, length, offset + done).error;
        lost = failed != 0 && mediumGone(medium.fd(), failed);
        if (failed != 0 && !lost)
            unwritten += length / sector;
    }
    return unwritten;
}

} // namespace

ImageOutcome ImageRaw::transfer() {
    ImageOutcome outcome;
    const JobSignals& flags = *setup_.jobSignals;
    const bool startPriority = flags.lowPriority.load();
    const std::uint64_t sector = setup_.bytesPerSector;
    const std::uint64_t group = kImageGroupSectors * sector;
    std::uint64_t pos = planAreas();
    outcome.position = static_cast<std::uint32_t>(pos);

    // A disc whose data track holds raw sectors is a CD as a drive reads it: only read. A cue
    // sheet's own text is no medium either: its sectors are in the .bin beside it.
    if (RawDataTrack::of(setup_.mediumPath)) {
        outcome.failure = imageFailure(setup_.mediumPath, EROFS);
        return outcome;
    }
    const QString target = CdDisc::dataTrackSource(setup_.mediumPath);
    // Raw writes under a live file system would corrupt it.
    if (QString reason; VolumeMounts::inUse(setup_.mediumPath, &reason)) {
        outcome.failure = reason;
        return outcome;
    }
    TransferFile medium;
    if (const int error = medium.open(QFile::encodeName(target), O_WRONLY, /*direct=*/true)) {
        outcome.failure = imageFailure(setup_.mediumPath, error);
        return outcome;
    }
    // Held until the medium is closed: a second job writing this device is refused.
    if (const int error = lockDestination(medium.fd())) {
        outcome.failure = destinationFailure(setup_.mediumPath, error);
        return outcome;
    }
    BlockReader::Options options;
    // A device or a pipe that took the image's name since the start is not written out.
    options.regularFileOnly = true;
    std::unique_ptr<BlockReader> image;
    std::uint64_t areaEnd = pos;
    const auto openNextArea = [&] {
        if (const int error = enterNextArea(image, setup_.imagePath, options, pos, areaEnd)) {
            outcome.failure = imageFailure(setup_.imagePath, error);
            return false;
        }
        return true;
    };
    const bool opened = !areasLeft() || openNextArea();
    const std::vector<std::uint8_t> zeros(group, 0);
    // Why the map or record could not be brought up to date, which ends the job.
    QString commitFailure;

    while (opened && !flags.stopRequested.load()) {
        if (pos >= areaEnd) {
            // The area is written; between it and the next one the map says all is done.
            if (!areasLeft()) {
                pos = std::max<std::uint64_t>(pos, setup_.end);
                break;
            }
            if (!openNextArea())
                break;
            continue;
        }
        // The box is followed while it differs from its state at the start of the job.
        const bool wanted = flags.lowPriority.load();
        if (wanted != startPriority)
            setup_.platform.setIdlePriority(wanted);
        if (waitWhilePaused())
            continue;
        BlockReader::Chunk chunk;
        if (!image->next(chunk) || chunk.offset != pos * sector) {
            outcome.mediumGone = image->mediumLost() != 0;
            // The image shrank under the job: what is left of it cannot be written out.
            if (!outcome.mediumGone)
                outcome.failure = imageFailure(setup_.imagePath, EIO);
            break;
        }
        const std::uint64_t left = (areaEnd - pos) * sector;
        const std::uint8_t* data = chunk.failed ? zeros.data() : chunk.data;
        // Only whole sectors reach the medium.
        const std::uint64_t bytes =
            std::min(chunk.failed ? group : chunk.length, left) / sector * sector;
        outcome.readFailed = outcome.readFailed || chunk.failed;
        if (chunk.failed)
            noteUnreadable(outcome, pos * sector, bytes);
        bool lost = false;
        const std::uint64_t unwritten =
            writeSectors(medium, data, bytes, pos * sector, group, sector, lost);
        countReads(*image);
        if (lost) {
            // The medium went away: the job stops before this run of sectors, as a stop would.
            outcome.mediumGone = true;
            break;
        }
        outcome.unwrittenSectors += unwritten;
        pos = std::min<std::uint64_t>(areaEnd, pos + bytes / sector);
        if (bytes == 0)
            pos = areaEnd; // the partial sector at the image's end is all there was
        if (checkpointDue()) {
            if (const int error =
                    handOver(medium.fd(), pos, outcome.unreadableAreas, &commitFailure)) {
                outcome.mediumGone = commitFailure.isEmpty() && mediumGone(medium.fd(), error);
                if (!outcome.mediumGone)
                    outcome.failure = !commitFailure.isEmpty()
                                          ? commitFailure
                                          : imageFailure(setup_.mediumPath, error);
                break;
            }
        }
        reportProgress(static_cast<std::uint32_t>(pos), false);
    }
    outcome.position = static_cast<std::uint32_t>(pos);
    if (image) {
        image->stop();
        countReads(*image);
    }
    // A write the medium refuses only when flushed must not pass for a finished job.
    const int flushFailure = ::fsync(medium.fd()) != 0 ? errno : 0;
    if (flushFailure != 0 && outcome.failure.isEmpty() && !outcome.mediumGone) {
        if (mediumGone(medium.fd(), flushFailure))
            outcome.mediumGone = true;
        else
            outcome.failure = imageFailure(setup_.mediumPath, flushFailure);
    }
    // However it ended, the map and the record say where, once the medium holds it. After a
    // failure or a loss this is a last try only: they keep their last commit otherwise.
    if (outcome.failure.isEmpty() && !outcome.mediumGone) {
        if (const int error = checkpoint(medium.fd(), pos, outcome.unreadableAreas, &commitFailure))
            outcome.failure =
                !commitFailure.isEmpty() ? commitFailure : imageFailure(setup_.mediumPath, error);
    } else if (commitFailure.isEmpty() && flushFailure == 0) {
        // After a failed flush nothing more is committed: a later sync that passes proves
        // nothing of the writes the flush lost.
        QString ignored;
        checkpoint(medium.fd(), pos, outcome.unreadableAreas, &ignored);
    }
    stopCommits();
    medium.close();
    if (outcome.failure.isEmpty())
        reportProgress(outcome.position, true);
    return outcome;
}

} // namespace fr
