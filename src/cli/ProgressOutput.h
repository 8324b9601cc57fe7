#pragma once

#include <cstdint>
#include <optional>

namespace fr::cli {

// Where a running job is.
struct ProgressSample {
    int percent = 0;
    std::int64_t doneBytes = 0;  // handled so far, from the start of the file or medium
    std::int64_t totalBytes = 0; // of the whole job
    std::uint64_t failedReads = 0;
    std::uint64_t unreadableBytes = 0; // found (or filled) so far in this run
    // The job's own word on whether it is at the damaged places now; unknown: judged from the
    // failed reads.
    std::optional<bool> damagedArea;
    // The pass of the read order the job is in, from 1; none for a job without passes (the
    // medium test) and 0 before the first has begun.
    std::optional<int> pass = std::nullopt;
};

// Shows a running job's progress to whoever follows it: a person (the progress line) or a
// script (JSON events). The commands and the job's watch feed it the same samples.
class ProgressOutput {
public:
    virtual ~ProgressOutput() = default;

    virtual void start(const ProgressSample& sample) = 0;
    virtual void update(const ProgressSample& sample) = 0;
    // The last state; what is written after it starts afresh.
    virtual void finish(const ProgressSample& sample) = 0;
    // A message is about to be written below the progress.
    virtual void breakLine() = 0;
};

} // namespace fr::cli
