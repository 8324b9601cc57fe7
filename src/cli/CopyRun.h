#pragma once

#include "core/CopyJob.h"

namespace fr::cli {

class JournalSlot;
class Session;
struct CopyStart;

// Runs the rescue copy of `job` from its position, with the window's engine and fill blocks,
// and shows its progress. A stop signal journals the job at once with the position last
// reported, and again with the exact position reached once the read under way has ended, as
// the window's stop does; a copy that cannot go on is journalled with the position it reached.
// A finished copy removes the slot's entry. Writes the --map of the run. Returns the exit
// status.
int runCopy(Session& session, CopyJob job, const CopyStart& start, JournalSlot& slot);

} // namespace fr::cli
