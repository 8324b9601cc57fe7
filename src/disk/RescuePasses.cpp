#include "disk/RescuePasses.h"

#include "platform/Transfer.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace fr {

namespace {

// The sweeps read blocks of this size on a medium that has not failed yet, and of the fine size
// once it has: a failed read leaves its whole block unsettled until the edges are trimmed, and
// on a dying medium the readable bytes in failed blocks must stay a small share, while a
// healthy medium keeps the speed of large reads.
constexpr std::uint64_t kBlock = 1 << 20;
constexpr std::uint64_t kFineBlock = 128 << 10;
// After a failed read a backward sweep skips this far, twice as far after each further failure
// in a row, half as far again after a read that succeeds (as the forward sweep's reader does).
constexpr std::uint64_t kSkipFirst = 1 << 20;
constexpr std::uint64_t kSkipMost = std::uint64_t(1) << 30;
// The reads that trim a damaged stretch's edges start at one unit and double up to this, so
// that the read that fails at an edge is short.
constexpr std::uint64_t kTrimCap = 4096;

} // namespace

RescuePasses::RescuePasses(Setup setup, RescueSink& sink) : setup_(std::move(setup)), sink_(sink) {}

BlockReader::Options RescuePasses::baseOptions() const {
    BlockReader::Options options = setup_.reading;
    options.unit = unit_;
    options.afterFailure = afterFailure_;
    options.skipping = false;
    options.suspectUntil = 0;
    return options;
}

int RescuePasses::open() {
    unit_ = std::max<std::uint64_t>(setup_.reading.unit, 1);
    afterFailure_ = setup_.reading.afterFailure != 0 ? setup_.reading.afterFailure : unit_;
    for (const ByteRange& area : setup_.areas)
        areaList_.add(area);
    BlockReader::Options options = baseOptions();
    options.from = 0;
    options.until = setup_.total;
    if (const int error = single_.open(setup_.path, options))
        return error;
    size_ = single_.sourceSize();
    buffer_ = allocateAligned(kBlock, TransferFile::kDirectAlignment);
    if (!buffer_)
        return ENOMEM;
    ruleArea_ = 0;
    ruleAt_ = setup_.areas.empty() ? setup_.total : std::uint64_t(setup_.areas.front().start);
    return 0;
}

void RescuePasses::seedRead(const AreaList& read) {
    for (const ByteRange& area : read)
        for (const ByteRange& inside : setup_.areas)
            read_.add(area.intersection(inside));
}

int RescuePasses::run() {
    int error = 0;
    if (setup_.order.goodDataFirst) {
        ++pass_;
        error = setup_.order.reverse ? sweepBackward() : sweepForward();
        if (error == 0 && !ended()) {
            ++pass_;
            error = setup_.order.reverse ? sweepForward() : sweepBackward();
        }
        // What the sweeps left is what is damaged; a healthy source has none.
        damagedArea_ = settledBytes() < std::int64_t(setup_.total);
        if (error == 0 && !ended()) {
            ++pass_;
            error = trimEdges();
        }
    }
    if (error == 0 && !ended()) {
        ++pass_;
        error = unitByUnit();
    }
    for (int retry = 0; retry < setup_.order.retries && error == 0 && !ended(); ++retry) {
        if (filled_.empty())
            break;
        damagedArea_ = true;
        ++pass_;
        retryFills();
        error = unitByUnit();
    }
    return error;
}

bool RescuePasses::ended() const {
    return lost_ != 0 || sink_.stopping();
}

int RescuePasses::between() {
    return sink_.between(*this);
}

std::uint64_t RescuePasses::reads() const {
    return reads_.load() + single_.reads();
}

std::uint64_t RescuePasses::failedReads() const {
    return failedReads_.load() + single_.failedReads();
}

// --- The grid -----------------------------------------------------------------------------

std::uint64_t RescuePasses::gridFloor(std::size_t area, std::uint64_t at) const {
    const auto start = std::uint64_t(setup_.areas[area].start);
    return at <= start ? start : start + (at - start) / unit_ * unit_;
}

std::uint64_t RescuePasses::gridCeil(std::size_t area, std::uint64_t at) const {
    const auto start = std::uint64_t(setup_.areas[area].start);
    return at <= start ? start : start + (at - start + unit_ - 1) / unit_ * unit_;
}

std::uint64_t RescuePasses::passReadUnits(std::size_t area, std::uint64_t at) const {
    const auto end = std::uint64_t(setup_.areas[area].end);
    while (at < end && at < size_) {
        const ByteRange run = read_.areaAt(std::int64_t(at));
        if (run.empty())
            return at;
        const auto runEnd = std::uint64_t(run.end);
        // The source's last unit is short: read to the source's end, it is whole.
        if (runEnd >= size_)
            return size_;
        const std::uint64_t units = (runEnd - at) / unit_;
        if (units == 0)
            return at;
        at += units * unit_;
    }
    return at;
}

std::vector<ByteRange> RescuePasses::unread(std::size_t area) const {
    AreaList settled = read_;
    settled.merge(filled_);
    return settled.gapsIn(setup_.areas[area]);
}

// --- What the job knows -------------------------------------------------------------------

std::uint64_t RescuePasses::position() const {
    std::size_t area = ruleArea_;
    std::uint64_t at = ruleAt_;
    while (area < setup_.areas.size()) {
        at = passReadUnits(area, at);
        if (at < std::uint64_t(setup_.areas[area].end))
            return at;
        if (++area < setup_.areas.size())
            at = std::max(at, std::uint64_t(setup_.areas[area].start));
    }
    return std::max(at, setup_.total);
}

std::int64_t RescuePasses::settledBytes() const {
    const auto total = std::int64_t(setup_.total);
    const auto from = std::int64_t(std::min(position(), setup_.total));
    AreaList settled = read_;
    settled.merge(filled_);
    std::int64_t open = 0;
    for (const ByteRange& area : setup_.areas)
        for (const ByteRange& gap : settled.gapsIn(area.intersection({from, total})))
            open += gap.length();
    return total - open;
}

RescueMap RescuePasses::map(const RescueMap& earlier) const {
    RescueMap map;
    map.size = std::int64_t(setup_.total);
    map.currentPosition = std::int64_t(std::min(position(), setup_.total));
    const ByteRange whole{0, map.size};
    AreaList tried = read_;
    for (const ByteRange& area : failed_)
        map.unreadable.add(area.intersection(whole));
    for (const ByteRange& area : filled_)
        map.unreadable.add(area.intersection(whole));
    tried.merge(map.unreadable);
    for (const ByteRange& area : setup_.areas)
        for (const ByteRange& gap : tried.gapsIn(area.intersection(whole)))
            map.untried.add(gap);
    // Outside this run's areas the earlier runs' word stands.
    if (earlier.size == map.size) {
        for (const ByteRange& area : earlier.unreadable)
            for (const ByteRange& outside : areaList_.gapsIn(area))
                map.unreadable.add(outside);
        for (const ByteRange& area : earlier.untried)
            for (const ByteRange& outside : areaList_.gapsIn(area))
                map.untried.add(outside);
    }
    return map;
}

// --- Reads ----------------------------------------------------------------------------------

int RescuePasses::takeReadable(std::uint64_t offset, const std::uint8_t* data,
                               std::uint64_t length) {
    // Only bytes of the areas are this run's: outside them an earlier run's bytes stay.
    const ByteRange got{std::int64_t(offset), std::int64_t(offset + length)};
    for (const ByteRange& area : setup_.areas) {
        const ByteRange inside = got.intersection(area);
        if (inside.empty())
            continue;
        const auto skip = std::uint64_t(inside.start) - offset;
        if (const int error = sink_.readable(std::uint64_t(inside.start), data + skip,
                                             std::uint64_t(inside.length())))
            return error;
        read_.add(inside);
        failed_.remove(inside);
    }
    return 0;
}

BlockReader::Outcome RescuePasses::readOnce(std::uint64_t offset, std::uint64_t length,
                                            int* error) {
    length = std::min(length, kBlock);
    const BlockReader::Outcome got = single_.readAt(offset, length, buffer_.get());
    if (got.lost) {
        lost_ = single_.mediumLost();
        return got;
    }
    if (got.bytes > 0)
        *error = takeReadable(offset, buffer_.get(), std::min(got.bytes, length));
    if (!got.ok) {
        const ByteRange failed{std::int64_t(offset + got.bytes), std::int64_t(offset + length)};
        for (const ByteRange& area : setup_.areas)
            failed_.add(failed.intersection(area));
    }
    return got;
}

void RescuePasses::countReads(const BlockReader& reader, std::uint64_t readsBefore,
                              std::uint64_t failedBefore) {
    reads_ = readsBefore + reader.reads();
    failedReads_ = failedBefore + reader.failedReads();
}

// Reads through a reader of its own, handing each chunk to `take` and waiting between them as
// the job does. 0, or the errno of `take` or of a reader that cannot open the source; a medium
// that is gone, already or on the way, ends the passes as a stop does.
int RescuePasses::readChunks(const BlockReader::Options& options,
                             const std::function<int(const BlockReader::Chunk&)>& take) {
    BlockReader reader;
    if (const int error = reader.open(setup_.path, options)) {
        if (!saysMediumGone(error))
            return error;
        lost_ = error;
        return 0;
    }
    const std::uint64_t readsBefore = reads_.load();
    const std::uint64_t failedBefore = failedReads_.load();
    BlockReader::Chunk chunk;
    int error = 0;
    while (error == 0 && !ended() && reader.next(chunk)) {
        error = take(chunk);
        countReads(reader, readsBefore, failedBefore);
        if (error == 0)
            error = between();
    }
    reader.stop();
    countReads(reader, readsBefore, failedBefore);
    if (reader.mediumLost() != 0)
        lost_ = reader.mediumLost();
    return error;
}

// --- Passes 1 and 2 -------------------------------------------------------------------------

int RescuePasses::sweepForward() {
    for (std::size_t area = 0; area < setup_.areas.size() && !ended(); ++area) {
        AreaList tried = read_;
        tried.merge(failed_);
        tried.merge(filled_);
        for (const ByteRange& gap : tried.gapsIn(setup_.areas[area])) {
            if (ended())
                break;
            BlockReader::Options options = baseOptions();
            options.from = gridCeil(area, std::uint64_t(gap.start));
            options.until = std::uint64_t(gap.end);
            options.skipping = true;
            options.block = sweepBlock();
            options.blockAfterFailure = kFineBlock;
            if (options.from >= options.until)
                continue;
            const int error = readChunks(options, [this](const BlockReader::Chunk& chunk) {
                if (!chunk.failed)
                    return takeReadable(chunk.offset, chunk.data, chunk.length);
                const ByteRange failed{std::int64_t(chunk.offset), std::int64_t(chunk.failedEnd)};
                failed_.add(failed);
                noteWideFailure(failed);
                return 0;
            });
            if (error != 0 || lost_ != 0)
                return error;
        }
    }
    return 0;
}

int RescuePasses::sweepBackward() {
    for (std::size_t area = setup_.areas.size(); area-- > 0 && !ended();) {
        AreaList tried = read_;
        tried.merge(failed_);
        tried.merge(filled_);
        std::vector<ByteRange> gaps = tried.gapsIn(setup_.areas[area]);
        for (auto gap = gaps.rbegin(); gap != gaps.rend() && !ended(); ++gap) {
            const std::uint64_t low = gridCeil(area, std::uint64_t(gap->start));
            std::uint64_t end = std::uint64_t(gap->end);
            std::uint64_t skip = kSkipFirst;
            while (end > low && !ended()) {
                const std::uint64_t block = sweepBlock();
                const std::uint64_t start =
                    std::max(low, gridFloor(area, end > block ? end - block : 0));
                if (start >= end)
                    break;
                int error = 0;
                const BlockReader::Outcome got = readOnce(start, end - start, &error);
                if (error != 0)
                    return error;
                if (!got.ok)
                    noteWideFailure({std::int64_t(start + got.bytes), std::int64_t(end)});
                if (got.ok) {
                    end = start;
                    skip = std::max(skip / 2, kSkipFirst);
                } else {
                    end = start > low + skip ? gridFloor(area, start - skip) : low;
                    skip = std::min(skip * 2, kSkipMost);
                }
                if ((error = between()) != 0)
                    return error;
            }
        }
    }
    return 0;
}

std::uint64_t RescuePasses::sweepBlock() const {
    return failedReads() > 0 ? kFineBlock : kBlock;
}

void RescuePasses::noteWideFailure(const ByteRange& failed) {
    if (std::uint64_t(failed.length()) > kFineBlock)
        wideFailures_.add(failed);
}

// --- Pass 3 ---------------------------------------------------------------------------------

// The edges of every damaged stretch, cheapest settling first, so that the readable bytes
// around all of them are in hand before any one is gone over closely: first the reads that grow
// from each stretch's leading edge until one fails; then, for each, its first unreadable unit
// and a gallop back from its trailing edge; last the halving of what the gallops left, the
// largest stretch of unsettled bytes first.
int RescuePasses::trimEdges() {
    std::vector<Edge> edges;
    for (std::size_t area = 0; area < setup_.areas.size(); ++area)
        for (const ByteRange& stretch : unread(area))
            edges.push_back({area, stretch, {}, 0, 0, 0, 0});
    // Behind a large block that failed before the medium first failed there may be far more
    // readable bytes than behind a fine one: those stretches are settled first.
    const auto fine = std::stable_partition(edges.begin(), edges.end(), [this](const Edge& edge) {
        return wideFailures_.overlaps(edge.stretch);
    });
    for (const auto& [first, last] :
         {std::pair{edges.begin(), fine}, std::pair{fine, edges.end()}}) {
        for (auto edge = first; edge != last; ++edge) {
            if (ended())
                return 0;
            if (const int error = growFromLeadingEdge(*edge))
                return error;
        }
        for (auto edge = first; edge != last; ++edge) {
            if (ended())
                return 0;
            if (const int error = findFirstUnreadableUnit(*edge))
                return error;
            if (const int error = gallopFromTrailingEdge(*edge))
                return error;
        }
    }
    for (;;) {
        Edge* widest = nullptr;
        for (Edge& edge : edges)
            if (edge.reading > edge.failing + 1 &&
                (!widest || edge.reading - edge.failing > widest->reading - widest->failing))
                widest = &edge;
        if (!widest || ended())
            return 0;
        const std::uint64_t k = widest->failing + (widest->reading - widest->failing) / 2;
        bool ok = false;
        if (const int error = readPlace(*widest, k, &ok))
            return error;
        if (ok)
            widest->reading = k;
        else
            widest->failing = k;
    }
}

int RescuePasses::growFromLeadingEdge(Edge& edge) {
    const std::uint64_t cap = std::max<std::uint64_t>(kTrimCap / unit_, 1) * unit_;
    const std::uint64_t end = std::uint64_t(edge.stretch.end);
    std::uint64_t at = gridFloor(edge.area, std::uint64_t(edge.stretch.start));
    std::uint64_t length = unit_;
    while (at < end && !ended()) {
        const std::uint64_t wanted = std::min(length, gridCeil(edge.area, end) - at);
        int error = 0;
        const BlockReader::Outcome got = readOnce(at, wanted, &error);
        if (error != 0 || got.lost)
            return error;
        if (!got.ok) {
            edge.failedRead = {std::int64_t(gridFloor(edge.area, at + got.bytes)),
                               std::int64_t(at + wanted)};
            return 0;
        }
        at += wanted;
        length = std::min(length * 2, cap);
        if ((error = between()) != 0)
            return error;
    }
    return 0;
}

// Unit by unit through the read that failed at the leading edge: the first unit that fails is
// the very read the unit-by-unit rule fails on there.
int RescuePasses::findFirstUnreadableUnit(Edge& edge) {
    // A failed read of one unit is that unit: it is not read again.
    const bool oneUnit = std::uint64_t(edge.failedRead.length()) <= unit_;
    for (auto at = std::uint64_t(edge.failedRead.start);
         at < std::uint64_t(edge.failedRead.end) && !ended(); at += unit_) {
        int error = 0;
        const BlockReader::Outcome one =
            oneUnit ? BlockReader::Outcome{} : readOnce(at, unit_, &error);
        if (error != 0 || one.lost)
            return error;
        if (!one.ok) {
            badUnits_.insert(at);
            edge.leading = at;
            const std::uint64_t end = std::uint64_t(edge.stretch.end);
            // Places k = 1 .. last lie at leading + k * afterFailure, inside the stretch.
            if (at + afterFailure_ < end) {
                edge.reading = (end - 1 - at) / afterFailure_ + 1;
                edge.readFrom = end;
            }
            return 0;
        }
    }
    return 0;
}

// The trailing edge is looked for among the places the rule will visit: from the first
// unreadable unit it goes on a fill length at a time while units keep failing. A unit read
// there that fails is a read the rule makes anyway, so the search for the last of them (a
// gallop back from the stretch's end, then halving) costs no failed read of its own on a solid
// damaged stretch; the bytes behind each unit that reads are read with it.
int RescuePasses::gallopFromTrailingEdge(Edge& edge) {
    std::uint64_t step = 1;
    while (edge.reading > edge.failing + 1 && !ended()) {
        const std::uint64_t k =
            edge.reading > edge.failing + step ? edge.reading - step : edge.failing + 1;
        bool ok = false;
        if (const int error = readPlace(edge, k, &ok))
            return error;
        if (!ok) {
            edge.failing = std::max(edge.failing, k);
            return 0;
        }
        edge.reading = k;
        step *= 2;
    }
    return 0;
}

// Reads the unit at place k of the edge, and when it reads, the bytes from it up to those read
// before. A stretch that is not solid (a read behind a readable unit fails) is left to the rule.
int RescuePasses::readPlace(Edge& edge, std::uint64_t k, bool* ok) {
    *ok = false;
    int error = 0;
    const std::uint64_t at = edge.leading + k * afterFailure_;
    const BlockReader::Outcome unit = readOnce(at, unit_, &error);
    if (error != 0 || unit.lost) {
        edge.reading = 0;
        return error;
    }
    if (!unit.ok) {
        badUnits_.insert(at);
        return 0;
    }
    for (std::uint64_t from = at + unit_; from < edge.readFrom && !ended();) {
        const std::uint64_t length = std::min(kBlock, edge.readFrom - from);
        const BlockReader::Outcome rest = readOnce(from, length, &error);
        if (error != 0 || rest.lost || !rest.ok) {
            edge.reading = 0;
            return error;
        }
        from += length;
    }
    edge.readFrom = at;
    *ok = true;
    return between();
}

// --- Pass 4 ---------------------------------------------------------------------------------

int RescuePasses::unitByUnit() {
    while (ruleArea_ < setup_.areas.size() && !ended()) {
        const ByteRange& area = setup_.areas[ruleArea_];
        const auto areaEnd = std::uint64_t(area.end);
        ruleAt_ = passReadUnits(ruleArea_, ruleAt_);
        if (ruleAt_ >= areaEnd) {
            if (++ruleArea_ < setup_.areas.size())
                ruleAt_ = std::max(ruleAt_, std::uint64_t(setup_.areas[ruleArea_].start));
            continue;
        }
        int error = 0;
        if (badUnits_.count(ruleAt_) != 0) {
            error = fill(ruleArea_, ruleAt_);
        } else {
            // The units nobody read yet, up to the next bytes read or the next unit known to
            // fail: read in order, as the rule does.
            std::uint64_t until = areaEnd;
            const std::vector<ByteRange> open =
                read_.gapsIn({std::int64_t(ruleAt_), std::int64_t(areaEnd)});
            if (!open.empty())
                until = std::min(until, std::uint64_t(open.front().end));
            if (const auto bad = badUnits_.upper_bound(ruleAt_); bad != badUnits_.end())
                until = std::min(until, *bad);
            error = readInOrder(ruleArea_, until);
        }
        if (error == 0)
            error = between();
        if (error != 0)
            return error;
    }
    return 0;
}

int RescuePasses::readInOrder(std::size_t area, std::uint64_t until) {
    BlockReader::Options options = baseOptions();
    options.from = ruleAt_;
    options.until = until;
    // Where a read failed before, the rule's first read there is of one unit, not a block
    // that would fail as well.
    const ByteRange stretch{std::int64_t(ruleAt_), std::int64_t(until)};
    if (setup_.order.goodDataFirst && failed_.overlaps(stretch))
        options.suspectUntil = until;
    return readChunks(options, [this, area](const BlockReader::Chunk& chunk) {
        if (chunk.offset != ruleAt_)
            return EIO; // the reader lost its place: a fault, never a place of the source
        if (chunk.failed)
            return fill(area, chunk.offset);
        if (const int error = takeReadable(chunk.offset, chunk.data, chunk.length))
            return error;
        ruleAt_ = chunk.offset + chunk.length;
        return 0;
    });
}

int RescuePasses::fill(std::size_t area, std::uint64_t at) {
    // Inside the source a fill stops at its area's end, where bytes read before follow.
    const auto areaEnd = std::uint64_t(setup_.areas[area].end);
    const std::uint64_t length =
        areaEnd < setup_.total ? std::min(afterFailure_, areaEnd - at) : afterFailure_;
    if (const int error = sink_.unreadable(at, length))
        return error;
    const ByteRange under{std::int64_t(at), std::int64_t(at + length)};
    filled_.add(under);
    read_.remove(under);
    failed_.remove(under);
    ruleAt_ = at + afterFailure_;
    return 0;
}

void RescuePasses::retryFills() {
    if (filled_.empty())
        return;
    const auto first = std::uint64_t(filled_.areas().front().start);
    badUnits_.clear();
    filled_ = AreaList();
    // The rule goes back to the first fill: every position after it is open again.
    for (std::size_t area = 0; area < setup_.areas.size(); ++area) {
        if (std::uint64_t(setup_.areas[area].end) > first) {
            ruleArea_ = area;
            ruleAt_ = std::max(first, std::uint64_t(setup_.areas[area].start));
            return;
        }
    }
}

} // namespace fr
