#pragma once

#include "cli/ProgressLine.h"

#include <functional>

namespace fr::cli {

// How the command's main thread follows a job that runs on threads of its own.
struct JobWatch {
    std::function<bool()> ended;            // the job's end has been reported
    std::function<ProgressSample()> sample; // where it is now
    std::function<void(int signal)> stop;   // a stop signal arrived: once, while it runs
};

// Follows the job until it has ended: shows its progress and hands a stop signal to it. The
// signal that stopped it is returned, 0 when none arrived while it ran.
int watchJob(const JobWatch& watch, ProgressLine& line);

} // namespace fr::cli
