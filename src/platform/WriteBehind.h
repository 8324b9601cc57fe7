#pragma once

#include <cstdint>
#include <limits>

namespace fr {

// Has the disk start writing what a job wrote, a few megabytes at a time, without waiting for
// it. A job that keeps its progress flushes its destination before every commit and at its end;
// left to itself the system would hold the written data in memory and write it only then, the
// disk idle while the source is read and the job waiting on the disk after. Started early, the
// writing overlaps the reading and each flush waits only for the last few megabytes.
class WriteBehind {
public:
    // Nothing is started for fd -1 (a job that keeps no progress flushes nothing).
    explicit WriteBehind(int fd = -1) : fd_(fd) {}

    // `length` bytes were written at `offset`.
    void wrote(std::uint64_t offset, std::uint64_t length);

private:
    int fd_;
    std::uint64_t pending_ = 0; // written since the last start
    std::uint64_t low_ = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t high_ = 0;
};

} // namespace fr
