#pragma once

#include "cli/PathArguments.h"
#include "core/RescueMap.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace fr::cli {

class Session;

// A file copy that has passed the checks before its start.
struct CopyStart {
    FileArgument source;
    FileArgument destination;
    std::uint64_t sourceSize = 0;
    // The map --map names, left by an earlier run over this source: the copy continues into
    // the destination where the map says, reading only what it has not read.
    std::optional<RescueMap> continueFrom;
};

// The copy page's checks before a copy starts, in its order and with its texts, each naming
// the file and the system's reason; a copy being finished keeps its destination and is not
// asked about it. A new copy whose --map names an earlier run's map of the source continues
// that run (see CopyStart::continueFrom). Returns kDone when the copy may start, else the exit
// status (the message is written).
int checkCopyStart(Session& session, const QString& typedSource, const QString& typedDestination,
                   bool resume, CopyStart* start);

// The fill pattern and block size of --fill and --block, in place of the settings' own; the
// fill buffers are made for them. Returns kDone or kRefused for a value they do not know.
int applyFillOptions(Session& session);

} // namespace fr::cli
