#pragma once

#include "disk/DataTrack.h"
#include "platform/AlignedBuffer.h"
#include "platform/Transfer.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace fr {

// Finds which groups of a volume can be read, for the medium test, with as few failed reads
// as a verdict per group allows: on a dying disk every failed read can take seconds of the
// drive's retries and strains the medium further, while a good read is cheap.
//
// A group is readable when all its bytes can be read; the volume's last group may be short.
// Groups are read in large reads of whole windows (kWindowGroups groups, on a grid from group
// 0). A large read that fails is followed by one read per group from its first group that the
// read did not deliver, on through the damage found there and up to the end of the first whole
// window after it that reads well; large reads go on from there, shorter at first, since damage
// seldom comes alone. So each damaged stretch costs its groups' own failed reads and at most
// one failed large read, and so does each window holding damage: never more failed reads than
// a test reading each window at once and its groups one by one after it failed. The last group
// a failed large read covered costs none of its own when every other group it covered read
// well alone: the large read's failure was that group's.
//
// A source that ends before the volume (it shrank under the test) leaves every group from the
// one holding its end unreadable, without reading them. A read that finds the medium gone
// ends the sweep there: no group from the place it met the loss on has a verdict.
//
// Threads: open() and next() belong to the test's thread; the sweep reads on a thread of its
// own, started by the first next(), a bounded number of groups ahead of the verdicts handed
// out. stop() may come from any thread; the read under way finishes and nothing more is read.
class GroupSweep {
public:
    // Verdicts of groups in a row: first, first + 1, ... first + count - 1.
    struct Run {
        std::uint64_t first = 0;
        std::uint64_t count = 0;
        bool readable = true;
    };

    // A large read covers whole windows of this many groups, and the reads of single groups
    // after a failed large read end on a window boundary.
    static constexpr std::uint64_t kWindowGroups = 64;

    GroupSweep() = default;
    ~GroupSweep();
    GroupSweep(const GroupSweep&) = delete;
    GroupSweep& operator=(const GroupSweep&) = delete;

    // Opens the volume `path` holds (a drive's medium: a BIN/CUE disc is its data track, read
    // as its user data) for a sweep over the groups of `groupBytes` that start before
    // `volumeBytes`. Returns 0 or the errno; EISDIR for a folder, EINVAL for what is neither a
    // file nor a block device.
    [[nodiscard]] int open(const QString& path, std::uint64_t groupBytes,
                           std::uint64_t volumeBytes);

    // The next verdicts, in group order; false once every group has one, or the sweep was
    // stopped or lost its medium.
    bool next(Run& run);
    void stop();

    // The error that said the medium is gone, 0 while it is there.
    int mediumLost() const { return lost_.load(); }
    // Reads of the medium so far, and how many of them failed or came back short.
    std::uint64_t reads() const { return reads_.load(); }
    std::uint64_t failedReads() const { return failedReads_.load(); }

private:
    // What one read of groups found: how many of them, from the first, it delivered whole
    // (before a failure, the source's end or the medium's loss); whether the source ended
    // inside the read; whether the medium went away.
    struct Outcome {
        std::uint64_t readableGroups = 0;
        bool sourceEnded = false;
        bool lost = false;
        // After a failure: the groups, from the first, up to the end of the read that failed.
        std::uint64_t failedEnd = 0;
    };

    void sweep();
    void largeRead();
    void singleRead();
    Outcome readGroups(std::uint64_t first, std::uint64_t count);
    // One read of the volume's bytes: of the file, or of the raw data track's user data.
    TransferResult readSource(std::uint64_t length, std::uint64_t offset);
    bool refreshSize();
    // Hands verdicts to the test; waits while it is far behind.
    void deliver(std::uint64_t first, std::uint64_t count, bool readable);
    // Every group from `first` to the volume's end is unreadable: the source ended.
    void endedAt(std::uint64_t first);

    TransferFile file_;
    std::optional<RawDataTrack> track_;
    AlignedBuffer buffer_;
    std::uint64_t groupBytes_ = 1;
    std::uint64_t volumeBytes_ = 0;
    std::uint64_t groups_ = 0;
    std::uint64_t sourceBytes_ = 0; // the source's size as last seen
    std::uint64_t pieceBytes_ = 0;  // the most one read asks for

    // The sweep, on its own thread only.
    std::uint64_t next_ = 0;        // the first group without a verdict
    std::uint64_t largeGroups_ = 0; // the length of the next large read
    std::uint64_t maxLargeGroups_ = 0;
    bool singles_ = false;            // reading one group at a time after a failed large read
    std::uint64_t singlesEnd_ = 0;    // the end of that large read
    std::uint64_t failedEnd_ = 0;     // the end of the part of it that failed
    bool metDamage_ = false;          // a group read alone has failed since then
    std::uint64_t readableSince_ = 0; // groups read alone from here on have all read well

    // Between the threads.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Run> ready_;
    std::uint64_t readyGroups_ = 0;
    bool finished_ = false;
    std::atomic<bool> stopping_{false};
    std::atomic<int> lost_{0};
    std::thread thread_;

    std::atomic<std::uint64_t> reads_{0};
    std::atomic<std::uint64_t> failedReads_{0};
};

} // namespace fr
