#pragma once

#include <algorithm>
#include <cstdint>

namespace fr {

// A run of bytes of a medium or a file, from start up to but not including end. Half-open, so
// that neighbouring runs share an offset instead of costing a "- 1" and "+ 1" at every use.
struct ByteRange {
    std::int64_t start = 0;
    std::int64_t end = 0; // start <= end for a meaningful run; an empty run holds no byte

    std::int64_t length() const { return end > start ? end - start : 0; }
    bool empty() const { return end <= start; }
    bool contains(std::int64_t offset) const { return start <= offset && offset < end; }
    // Whether the two runs share at least one byte.
    bool overlaps(const ByteRange& other) const {
        return start < other.end && other.start < end && !empty() && !other.empty();
    }
    // The bytes both runs hold; empty when they share none.
    ByteRange intersection(const ByteRange& other) const {
        const ByteRange both{std::max(start, other.start), std::min(end, other.end)};
        return both.empty() ? ByteRange{} : both;
    }

    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

} // namespace fr
