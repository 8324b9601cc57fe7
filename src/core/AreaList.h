#pragma once

#include "core/ByteRange.h"

#include <cstdint>
#include <vector>

namespace fr {

// The places of a medium or a file that a job found unreadable (or filled), kept sorted and
// apart: runs that overlap or touch are one area, so that the list says how many separate
// damaged places there are and how many bytes they hold, whatever order they were found in.
class AreaList {
public:
    using const_iterator = std::vector<ByteRange>::const_iterator;

    // Takes in a run, merging it with every area it overlaps or touches. An empty run changes
    // nothing.
    void add(const ByteRange& range);
    // Takes in every area of another list.
    void merge(const AreaList& other);
    // Takes a run out of the areas: an area it cuts through keeps its parts on either side.
    void remove(const ByteRange& range);
    // The stretches of `range` that lie in no area, in order.
    std::vector<ByteRange> gapsIn(const ByteRange& range) const;
    // The area that holds the byte at `offset`; empty when none does.
    ByteRange areaAt(std::int64_t offset) const;

    // Bytes in all areas together.
    std::int64_t totalBytes() const;
    // Whether the byte at `offset` lies in an area.
    bool contains(std::int64_t offset) const;
    // Whether any byte of `range` lies in an area.
    bool overlaps(const ByteRange& range) const;

    bool empty() const { return areas_.empty(); }
    std::size_t size() const { return areas_.size(); }
    const_iterator begin() const { return areas_.begin(); }
    const_iterator end() const { return areas_.end(); }
    const std::vector<ByteRange>& areas() const { return areas_; }

    friend bool operator==(const AreaList&, const AreaList&) = default;

private:
    // Sorted by start; no two overlap or touch.
    std::vector<ByteRange> areas_;
};

} // namespace fr
