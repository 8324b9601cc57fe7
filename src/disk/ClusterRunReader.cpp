#include "disk/ClusterRunReader.h"

#include <algorithm>

namespace fr {

ClusterRunReader::ClusterRunReader(std::uint32_t groupBytes, std::uint64_t groupCount)
    : groupBytes_(std::max<std::uint32_t>(groupBytes, 1)), groupCount_(groupCount),
      groupsPerRun_(std::max<std::uint64_t>(1, kRunBytes / groupBytes_)) {}

QString ClusterRunReader::open(const QString& device) {
    QString error;
    if (!device_.open(device, SectorDevice::Mode::Read, &error))
        return error;
    // Aligned, so that direct reads need no bounce copy.
    buffer_ = allocateAligned(groupsPerRun_ * groupBytes_);
    if (!buffer_)
        return device + QStringLiteral(": not enough memory for the test");
    return {};
}

bool ClusterRunReader::read(std::uint64_t firstGroup, std::uint64_t groups) {
    ++counts_.reads;
    const bool ok = device_.readAt(firstGroup * groupBytes_, buffer_.get(), groups * groupBytes_);
    if (!ok)
        ++counts_.failedReads;
    return ok;
}

bool ClusterRunReader::readable(std::uint64_t group) {
    if (group < runStart_ || group >= runEnd_) {
        runStart_ = group;
        runEnd_ = std::min(groupCount_, group + groupsPerRun_);
        if (runEnd_ <= runStart_)
            runEnd_ = runStart_ + 1; // a group past the counted ones is still read on its own
        runReadable_ = read(runStart_, runEnd_ - runStart_);
    }
    if (runReadable_)
        return true;
    // Somewhere in this run a sector fails: only the group's own read can say whether it is
    // this group's. A run of one group has already said so.
    if (runEnd_ - runStart_ == 1)
        return false;
    return read(group, 1);
}

} // namespace fr
