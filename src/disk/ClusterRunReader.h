#pragma once

#include "disk/SectorDevice.h"
#include "platform/AlignedBuffer.h"

#include <QString>
#include <cstdint>

namespace fr {

// Tells, group by group, whether the cluster-sized groups of a medium can be read, with the
// answers a read of each single group would give, but reading large runs of groups at once.
// A run that reads whole vouches for every group in it; only inside a run that fails is each
// group read on its own. Since a transfer fails as a whole when any of its sectors fails, the
// groups found unreadable are exactly those a group-by-group test finds.
//
// Groups are asked for in increasing order; group g covers the bytes g x groupBytes up to
// (g + 1) x groupBytes, counted from the start of the volume.
class ClusterRunReader {
public:
    struct Counts {
        std::uint64_t reads = 0;
        std::uint64_t failedReads = 0;
    };

    ClusterRunReader(std::uint32_t groupBytes, std::uint64_t groupCount);

    // Opens the drive's device or image file; the reason, naming it, when that fails.
    [[nodiscard]] QString open(const QString& device);

    // Whether group `group` reads.
    bool readable(std::uint64_t group);

    Counts counts() const { return counts_; }

    // Runs are this long, or one group when a group is larger.
    static constexpr std::uint64_t kRunBytes = 4 << 20;

private:
    bool read(std::uint64_t firstGroup, std::uint64_t groups);

    SectorDevice device_;
    AlignedBuffer buffer_;
    std::uint64_t groupBytes_;
    std::uint64_t groupCount_;
    std::uint64_t groupsPerRun_;
    // The run read last, [runStart_, runEnd_), and whether it read whole.
    std::uint64_t runStart_ = 0;
    std::uint64_t runEnd_ = 0;
    bool runReadable_ = false;
    Counts counts_;
};

} // namespace fr
