#pragma once

#include "disk/ImageJob.h"

namespace fr {

// Image to medium: the image file's whole sectors, from sector 0 (or the position of a resumed
// job) onto the medium at the same offset; a trailing partial sector of the file is dropped.
// A group of the image that cannot be read is written as zeros and marks the job. Writes that
// fail are counted in sectors, group by group as the medium takes them, and the job goes on;
// the count is reported at the end. The image is read in large runs ahead of the writes.
//
// The medium must not be in use: a medium that is mounted, holds swap or carries another
// device is not written at all (the page unmounts it first).
class ImageRaw : public ImageWorker {
public:
    using ImageWorker::ImageWorker;

protected:
    ImageOutcome transfer() override;
};

} // namespace fr
