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
    const std::uint64_t sector = setup_.bytesPerSector;
    const std::uint64_t group = kImageGroupSectors * sector;
    outcome.position = std::min(setup_.position, setup_.end);

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
    BlockReader::Options reading;
    // A device or a pipe that took the image's name since the start is not written out.
    reading.regularFileOnly = true;
    // Whole sectors reach the medium: a partial one at the image's end is all there was. A
    // medium that went away is written no more, and ends the job as a stop.
    bool lost = false;
    const SectorWriter write = [&](std::uint64_t offset, const std::uint8_t* data,
                                   std::uint64_t length) {
        outcome.unwrittenSectors +=
            writeSectors(medium, data, length / sector * sector, offset, group, sector, lost);
        return lost ? ENODEV : 0;
    };
    QString commitFailure;
    bool imageFailed = false;
    const int error = readGoodDataFirst(setup_.imagePath, reading, medium.fd(), write, outcome,
                                        &commitFailure, &imageFailed);
    const std::uint64_t pos = outcome.position;
    if (lost) {
        outcome.mediumGone = true;
    } else if (error != 0) {
        // A commit that failed because the medium went away ends the job as a stop too.
        outcome.mediumGone =
            commitFailure.isEmpty() && !imageFailed && mediumGone(medium.fd(), error);
        if (!outcome.mediumGone)
            outcome.failure = !commitFailure.isEmpty() ? commitFailure
                              : imageFailed            ? imageFailure(setup_.imagePath, error)
                                                       : imageFailure(setup_.mediumPath, error);
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
        if (const int failed = checkpointPasses(medium.fd(), pos, &commitFailure))
            outcome.failure =
                !commitFailure.isEmpty() ? commitFailure : imageFailure(setup_.mediumPath, failed);
    } else if (commitFailure.isEmpty() && flushFailure == 0) {
        // After a failed flush nothing more is committed: a later sync that passes proves
        // nothing of the writes the flush lost.
        QString ignored;
        checkpointPasses(medium.fd(), pos, &ignored);
    }
    stopCommits();
    medium.close();
    if (outcome.failure.isEmpty())
        reportProgress(outcome.position, true);
    return outcome;
}

} // namespace fr
