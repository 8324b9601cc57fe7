#include "core/AreaList.h"

#include <algorithm>

namespace fr {

void AreaList::add(const ByteRange& range) {
    if (range.empty())
        return;
    // The first area that ends at or after the run's start may touch it; every area from
    // there that starts at or before the run's end is swallowed.
    auto first =
        std::lower_bound(areas_.begin(), areas_.end(), range.start,
                         [](const ByteRange& area, std::int64_t at) { return area.end < at; });
    auto last = first;
    ByteRange merged = range;
    while (last != areas_.end() && last->start <= range.end) {
        merged.start = std::min(merged.start, last->start);
        merged.end = std::max(merged.end, last->end);
        ++last;
    }
    if (first == last) {
        areas_.insert(first, merged);
        return;
    }
    *first = merged;
    areas_.erase(first + 1, last);
}

void AreaList::merge(const AreaList& other) {
    for (const ByteRange& area : other)
        add(area);
}

void AreaList::remove(const ByteRange& range) {
    if (range.empty())
        return;
    std::vector<ByteRange> kept;
    kept.reserve(areas_.size() + 1);
    for (const ByteRange& area : areas_) {
        if (!area.overlaps(range)) {
            kept.push_back(area);
            continue;
        }
        if (area.start < range.start)
            kept.push_back({area.start, range.start});
        if (range.end < area.end)
            kept.push_back({range.end, area.end});
    }
    areas_ = std::move(kept);
}

std::vector<ByteRange> AreaList::gapsIn(const ByteRange& range) const {
    std::vector<ByteRange> gaps;
    std::int64_t at = range.start;
    for (const ByteRange& area : areas_) {
        if (area.end <= at)
            continue;
        if (area.start >= range.end)
            break;
        if (area.start > at)
            gaps.push_back({at, area.start});
        at = std::max(at, area.end);
    }
    if (at < range.end)
        gaps.push_back({at, range.end});
    return gaps;
}

ByteRange AreaList::areaAt(std::int64_t offset) const {
    const auto area = std::upper_bound(
        areas_.begin(), areas_.end(), offset,
        [](std::int64_t at, const ByteRange& candidate) { return at < candidate.end; });
    return area != areas_.end() && area->start <= offset ? *area : ByteRange{};
}

std::int64_t AreaList::totalBytes() const {
    std::int64_t total = 0;
    for (const ByteRange& area : areas_)
        total += area.length();
    return total;
}

bool AreaList::contains(std::int64_t offset) const {
    return overlaps({offset, offset + 1});
}

bool AreaList::overlaps(const ByteRange& range) const {
    if (range.empty())
        return false;
    // The first area that ends after the run's start is the only one that can hold its head.
    const auto area = std::upper_bound(
        areas_.begin(), areas_.end(), range.start,
        [](std::int64_t at, const ByteRange& candidate) { return at < candidate.end; });
    return area != areas_.end() && area->start < range.end;
}

} // namespace fr
