#pragma once

#include "core/AreaList.h"
#include "core/ReadOrder.h"
#include "core/RescueMap.h"
#include "disk/BlockReader.h"
#include "platform/AlignedBuffer.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

namespace fr {

class RescuePasses;

// What the passes hand to the job that runs them: the copy writes to its destination, an
// image job to its image or its medium.
class RescueSink {
public:
    virtual ~RescueSink() = default;
    // Readable bytes of the source at `offset`, to be written where they belong. 0, or the
    // errno that ends the job.
    virtual int readable(std::uint64_t offset, const std::uint8_t* data, std::uint64_t length) = 0;
    // The unit-by-unit rule's unreadable unit at `offset`: `length` bytes of fill go there
    // (a fill block, zeros). 0, or the errno that ends the job.
    virtual int unreadable(std::uint64_t offset, std::uint64_t length) = 0;
    // Between two reads: the job's pause, priority, commits and reports. 0, or the errno that
    // ends the job.
    virtual int between(const RescuePasses& passes) = 0;
    // The job is asked to stop: no further read starts.
    virtual bool stopping() const = 0;
};

// Good data first. A job's source is read in passes over what is still to read, and each pass
// keeps the map of what is settled:
//   1. the whole of it in large blocks, skipping ahead after a read that fails (further while
//      reads keep failing), so that the readable data behind a damaged place do not wait;
//   2. the stretches the first pass skipped, from their far end, skipping as well; both read in
//      large blocks until the medium first fails and in fine ones after, so that the bytes left
//      behind a failed read stay few;
//   3. the edges of each damaged stretch: reads that grow from each edge inwards until one
//      fails, so that a damaged stretch shrinks to its unreadable core; the stretches of large
//      failed blocks first;
//   4. the unit-by-unit rule over each area from its start: a readable unit is passed over when
//      the passes before read it already, an unreadable one gets its fill and the rule goes on
//      behind it, and only units nobody read yet are read, in order.
// The fourth pass decides every fill exactly as the rule alone would: a unit is readable or
// not whatever order it was read in. So the job's result, fill blocks and position are those
// of the unit-by-unit rule; only the time to the readable data and the failed reads differ. A
// fill written over bytes an earlier pass read replaces them, as the rule would have it.
//
// The areas are those still to handle (all of the source from the position, or the pending
// areas of an earlier run's map); the rule runs over each from its start and a fill never
// reaches past an area's end inside the source, where read bytes follow.
class RescuePasses {
public:
    struct Setup {
        QString path;
        // The job's unit, fill length, file kind and hold; `from`, `until`, `skipping` and
        // `suspectUntil` are the passes' own.
        BlockReader::Options reading;
        std::uint64_t total = 0;      // units start before this
        std::vector<ByteRange> areas; // in order, apart
        ReadOrder order;
    };

    RescuePasses(Setup setup, RescueSink& sink);

    // Opens the source; 0 or the errno (see BlockReader::open).
    int open();
    // Bytes of the areas that earlier runs read into the destination already: the passes read
    // them no more, and the rule passes over their units as read.
    void seedRead(const AreaList& read);
    // The passes. 0 (done, stopped, or the medium went away), or the errno of the sink or of a
    // reader that could not open the source.
    int run();

    // The unit-by-unit rule's position: every byte before it is final. Past the total once the
    // last fill block reached beyond the end of the source.
    std::uint64_t position() const;
    // The map of this run's areas (outside them what `earlier` says, when it describes a
    // source of this size): read, unreadable (fills, failed reads), untried.
    RescueMap map(const RescueMap& earlier) const;
    // Bytes of the total whose outcome is final: read, or under a fill.
    std::int64_t settledBytes() const;
    // The fills written, neighbours merged.
    const AreaList& filled() const { return filled_; }
    bool anyFill() const { return !filled_.empty(); }
    // The passes are at the damaged places: trimming their edges, or the unit-by-unit rule.
    bool damagedArea() const { return damagedArea_.load(); }
    bool mediumGone() const { return lost_ != 0; }
    // Reads of the source so far, and how many failed.
    std::uint64_t reads() const;
    std::uint64_t failedReads() const;
    // The pass the read order is in, counted from 1 as the passes start (the sweeps, the
    // edges, the unit-by-unit rule, then each go over the fills again); 0 before the first.
    int pass() const { return pass_.load(); }

private:
    // One sweep over the untried stretches, forward (pass 1 or 2) through a skipping reader,
    // or backward (the other) in blocks.
    int sweepForward();
    int sweepBackward();
    // The length of a sweep's next block read: large until the medium first fails.
    std::uint64_t sweepBlock() const;
    void noteWideFailure(const ByteRange& failed);
    // Pass 3 over every stretch not read yet.
    int trimEdges();
    // What pass 3 knows of one stretch: the read that failed at its leading edge, its first
    // unreadable unit, and on the places the rule visits behind it (leading + k * fill
    // length) the highest known to fail and the lowest known to read, with all bytes behind it.
    struct Edge {
        std::size_t area = 0;
        ByteRange stretch;
        ByteRange failedRead;
        std::uint64_t leading = 0;
        std::uint64_t failing = 0;
        std::uint64_t reading = 0; // 0: nothing to look for behind the leading edge
        std::uint64_t readFrom = 0;
    };
    int growFromLeadingEdge(Edge& edge);
    int findFirstUnreadableUnit(Edge& edge);
    int gallopFromTrailingEdge(Edge& edge);
    int readPlace(Edge& edge, std::uint64_t k, bool* ok);
    // Pass 4, from the rule's position on.
    int unitByUnit();
    // Reads the units from the rule's position in order up to `until`, as the rule would.
    int readInOrder(std::size_t area, std::uint64_t until);
    int fill(std::size_t area, std::uint64_t at);
    // Sets the rule's position back to the first fill for another go over the fills.
    void retryFills();

    // One read at `offset` through the reader of single reads: readable bytes go to the sink,
    // the rest counts as failed. `error` is set when the sink failed.
    BlockReader::Outcome readOnce(std::uint64_t offset, std::uint64_t length, int* error);
    int readChunks(const BlockReader::Options& options,
                   const std::function<int(const BlockReader::Chunk&)>& take);
    int takeReadable(std::uint64_t offset, const std::uint8_t* data, std::uint64_t length);
    int between();
    bool ended() const;
    // The counts of the readers before, and of this one so far.
    void countReads(const BlockReader& reader, std::uint64_t readsBefore,
                    std::uint64_t failedBefore);

    // The grid of an area: its units start at its start, every unit bytes.
    std::uint64_t gridFloor(std::size_t area, std::uint64_t at) const;
    std::uint64_t gridCeil(std::size_t area, std::uint64_t at) const;
    // From `at` on the rule's grid over the units the passes read already; where it stops.
    std::uint64_t passReadUnits(std::size_t area, std::uint64_t at) const;
    // What is not read yet in an area.
    std::vector<ByteRange> unread(std::size_t area) const;

    BlockReader::Options baseOptions() const;

    Setup setup_;
    RescueSink& sink_;
    std::uint64_t unit_ = 4;
    std::uint64_t afterFailure_ = 4;
    std::uint64_t size_ = 0; // the source's bytes when it was opened
    // Single reads (pass 2 and 3) go through a reader that never reads ahead.
    BlockReader single_;
    AlignedBuffer buffer_;

    AreaList read_;                    // read, and in the destination as read
    AreaList failed_;                  // covered by a read that failed
    AreaList filled_;                  // under a fill
    std::set<std::uint64_t> badUnits_; // units of the rule's grid a single read found unreadable
    AreaList wideFailures_;            // failed sweep reads wider than a fine block
    AreaList areaList_;                // the areas, as a list

    // The rule's position: the area it is in, and the offset in it.
    std::size_t ruleArea_ = 0;
    std::uint64_t ruleAt_ = 0;

    std::atomic<bool> damagedArea_{false};
    int lost_ = 0;
    std::atomic<std::uint64_t> reads_{0};
    std::atomic<std::uint64_t> failedReads_{0};
    std::atomic<int> pass_{0};
};

} // namespace fr
