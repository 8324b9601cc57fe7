#include "disk/ImageEx.h"

#include "core/JobSignals.h"
#include "platform/DestinationLock.h"
#include "platform/FileName.h"
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
    outcome.position = std::min(setup_.position, setup_.end);

    // Created when missing, never truncated: a resumed job keeps what an earlier run wrote.
    const int image =
        ::open(fileNameBytes(setup_.imagePath).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
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
    BlockReader::Options reading;
    // The image holds the volume: a disc's data track of raw sectors gives its user data.
    reading.driveMedium = true;
    // Each readable run of sectors, and the zeros of each sector that cannot be read, go where
    // they belong in the image.
    const SectorWriter write = [image](std::uint64_t offset, const std::uint8_t* data,
                                       std::uint64_t length) {
        return writeFully(image, data, length, offset).error;
    };
    QString commitFailure;
    bool mediumFailed = false;
    int error = readGoodDataFirst(setup_.mediumPath, reading, image, write, outcome, &commitFailure,
                                  &mediumFailed);
    const std::uint64_t pos = outcome.position;
    // However it ended, the map and the record say where: after the data is on the disk. After
    // a failure this is a last try only: the map and record keep their last commit otherwise.
    if (error == 0) {
        error = checkpointPasses(image, pos, &commitFailure);
    } else if (commitFailure.isEmpty()) {
        QString ignored;
        checkpointPasses(image, pos, &ignored);
    }
    stopCommits();
    // A write the system could only refuse late shows at the close.
    if (::close(image) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        outcome.failure =
            !commitFailure.isEmpty()
                ? commitFailure
                : imageFailure(mediumFailed ? setup_.mediumPath : setup_.imagePath, error);
        return outcome;
    }
    reportProgress(outcome.position, true);
    return outcome;
}

} // namespace fr
