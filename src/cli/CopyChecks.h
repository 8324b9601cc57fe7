#pragma once

#include "cli/PathArguments.h"

#include <QString>
#include <cstdint>

namespace fr::cli {

class Session;

// A file copy that has passed the checks before its start.
struct CopyStart {
    FileArgument source;
    FileArgument destination;
    std::uint64_t sourceSize = 0;
};

// The largest source whose size and last fill block fit the journal's 32-bit fields.
constexpr std::uint64_t kLargestCopySource = 0xFFFFFFFFull - 2048;

// The checks the window's copy page makes before a copy starts, in its order and with its
// texts, each naming the file and the system's reason: one file under two names, a path too
// long for the journal, a source that is missing or not a file, a destination that is not a
// file, an existing destination (asked about; emptied only once everything has passed), a
// source too large, too little free space, a destination medium in the register of damaged
// media (asked about). A copy being finished keeps its destination and is not asked about it.
// Returns kDone when the copy may start, else the exit status (the message is written).
int checkCopyStart(Session& session, const QString& typedSource, const QString& typedDestination,
                   bool resume, CopyStart* start);

// The fill pattern and block size of --fill and --block, in place of the settings' own; the
// fill buffers are made for them. Returns kDone or kRefused for a value they do not know.
int applyFillOptions(Session& session);

} // namespace fr::cli
