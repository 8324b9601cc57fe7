#pragma once

#include "disk/ImageJob.h"

namespace fr {

// Medium to image: every sector of the volume, from sector 0, into the image file at the same
// offset. The result is that of a loop reading 32 sectors at a time: a group that cannot be
// read is written as zeros and marks the job (the image keeps its size and every sector its
// place), the last group of a volume whose size is not a multiple of 32 sectors is read and
// written up to the volume's end. The block reader reads healthy stretches in large runs and
// steps down to single groups only around a failure, while this thread writes.
//
// The image file is created when missing and never truncated: a resumed job continues inside
// it at its position. A stop ends the job after the read or write under way; the position then
// says where to resume.
class ImageEx : public ImageWorker {
public:
    using ImageWorker::ImageWorker;

protected:
    ImageOutcome transfer() override;
};

} // namespace fr
