#include "platform/WriteBehind.h"

#include <algorithm>
#include <fcntl.h>

namespace fr {

namespace {

// Enough to keep the disk's queue busy, little enough that the last flush is short.
constexpr std::uint64_t kStartEvery = 8 << 20;

} // namespace

void WriteBehind::wrote(std::uint64_t offset, std::uint64_t length) {
    if (fd_ < 0 || length == 0)
        return;
    low_ = std::min(low_, offset);
    high_ = std::max(high_, offset + length);
    pending_ += length;
    if (pending_ < kStartEvery)
        return;
    // Only a start: its result says nothing of the data's fate, and it consumes no write
    // error, so the flush before the next commit still reports any write the disk lost.
    (void)::sync_file_range(fd_, static_cast<off_t>(low_), static_cast<off_t>(high_ - low_),
                            SYNC_FILE_RANGE_WRITE);
    pending_ = 0;
    low_ = std::numeric_limits<std::uint64_t>::max();
    high_ = 0;
}

} // namespace fr
