#pragma once

#include "core/CopyJob.h"

namespace fr::cli {

class JournalSlot;
class Session;

// image DRIVE|DEVICE FILE: every sector of the medium into an image file.
int imageCommand(Session& session);
// restore FILE DRIVE|DEVICE: an image file back onto a medium, every sector of it replaced.
int restoreCommand(Session& session);

// A journalled image job finished from its position: `job` holds the entry, `slot` finds it.
int resumeMediumToImage(Session& session, CopyJob job, JournalSlot& slot);
int resumeImageToMedium(Session& session, CopyJob job, JournalSlot& slot);

} // namespace fr::cli
