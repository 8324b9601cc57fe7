#pragma once

#include "disk/DataTrack.h"
#include "platform/AlignedBuffer.h"
#include "platform/Transfer.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace fr {

// Reads a file or a device the way a job that steps through it unit by unit would, only fast.
//
// The job's unit is its own step: 4 bytes for the rescue copy, a group of sectors for a disk
// image, a cluster for the medium test. Units lie on a grid from `from` (from, from + unit,
// ...), and the reader covers every unit that starts before `until`. A unit is readable when
// all its bytes can be read; the unit that holds the source's end is short and readable up to
// there; a unit at or beyond the source's end is unreadable (a source that shrank since the
// job took its size). After an unreadable unit the reader goes on at its start +
// `afterFailure` (the copy skips what its fill block stands for; the disk jobs go on with the
// next unit), and the grid goes on from there.
//
// The contract: the chunks next() hands out, in order, are exactly the step-by-step loop's
// results over that grid, merged: a readable chunk is one or more readable units in a row, a
// failed chunk is one unreadable unit. Each chunk starts where the one before it ended (a
// failed one "ends" `afterFailure` bytes after its start).
//
// How it gets there: healthy stretches are read in large blocks (direct and aligned where the
// file system allows), on a thread of its own that fills a few buffers ahead while the job
// writes the one before; the small reads of a search are collected into one run. A block that
// fails is searched from its start: probes from one unit, doubling while they read, small
// inside the stretch known to hold the failure, and single units after a probe of several
// units failed, so that the first unit that fails is found by the very read the step-by-step
// loop fails on. A damaged area costs the failed block read, at most one failed probe, and the
// unit reads the loop makes there.
//
// Using it: the passes of a copy or an image job (RescuePasses) read through it. Their last
// pass takes the job's unit (4 bytes and a fill block's length after a failure for the rescue
// copy, a sector for a disk image) and gets the step-by-step results; their first sweeps set
// `skipping` and get failed reads whole, with the reader skipping on. A device is read with
// direct reads throughout, so a failing sector fails alone rather than with the cached block
// around it.
//
// Threads: open() and next() belong to the job's thread; the reader's own thread starts with
// the first next(). stop() may come from any thread; the reader then finishes the read under
// way and reads nothing more. The destructor stops and waits for it.
class BlockReader {
public:
    struct Options {
        std::uint64_t unit = 4;         // the job's step, in bytes (at least 1)
        std::uint64_t afterFailure = 0; // from a failed unit's start to the next; 0: one unit
        std::uint64_t from = 0;         // the first unit starts here
        std::uint64_t until = 0;        // units that start before this are read
        bool regularFileOnly = false;   // refuse devices, pipes and the like (EINVAL)
        // The path names a drive's medium, read as its volume: a BIN/CUE disc is its data
        // track, and a track of raw sectors is the user data of each (2048 bytes a sector),
        // as a drive hands them out. Otherwise the path is read as the file it is.
        bool driveMedium = false;
        // Polled between reads: while it says true the reader reads nothing ahead (a paused or
        // stopping job); a chunk the job asks for is still read.
        std::function<bool()> hold;
        // A sweep for good data first: a read that fails is not searched. Its bytes go to the
        // job as one failed chunk and the reader skips ahead, further while reads keep failing
        // and less again after a read that succeeds; the skipped stretch is left untried.
        bool skipping = false;
        // The length of a block read (0: 1 MiB), and of those after a sweep's first failed read
        // (0: the same): a medium that failed once is read in blocks that leave less behind the
        // next failure.
        std::uint64_t block = 0;
        std::uint64_t blockAfterFailure = 0;
        // A failure is known to lie before this offset: the reader starts with reads of one
        // unit there, doubling while they succeed, instead of a block read that would fail.
        std::uint64_t suspectUntil = 0;
    };

    // One piece of the result. Data points into the reader's buffer and stays valid until the
    // next call to next().
    struct Chunk {
        std::uint64_t offset = 0; // where it starts in the source
        std::uint64_t length = 0; // readable bytes; 0 for a failed unit
        bool failed = false;      // the unit at offset cannot be read
        const std::uint8_t* data = nullptr;
        // A failed chunk: the end of the bytes the failed read covered (one unit, or the rest
        // of a failed read of a sweep), and where the next chunk starts (after the fill block,
        // or after a sweep's skip).
        std::uint64_t failedEnd = 0;
        std::uint64_t resumeAt = 0;
    };

    // One read of the source, outside the order of next(): its bytes counted as read, whether
    // it read every byte wanted (up to the source's end), whether it found the medium gone.
    struct Outcome {
        std::uint64_t bytes = 0;
        bool ok = false;
        bool lost = false;
    };

    BlockReader() = default;
    ~BlockReader();
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    // Opens the source for reading. The source is opened without waiting for a writer (a pipe
    // that took a file's name is refused, not waited on). Returns 0 or the errno; EISDIR for
    // a folder, EINVAL for what is neither a file nor (unless regularFileOnly) a block device.
    [[nodiscard]] int open(const QString& path, const Options& options);

    // The next chunk in order; false when every unit is handed out or the reader was stopped.
    bool next(Chunk& chunk);
    // Makes the reader read nothing more; next() then hands out what is already read.
    void stop();
    // Reads `length` bytes at `offset` into `into` at once, on the caller's thread, counted with
    // the reader's reads. For a job that picks its own reads (the edges of a damaged stretch,
    // a stretch read backwards); never together with next(), whose thread would read beside it.
    Outcome readAt(std::uint64_t offset, std::uint64_t length, std::uint8_t* into);

    // The error that said the source's medium is gone (see mediumGone()), 0 while it is there.
    // The reader reads nothing after it: next() hands out what was read before the loss and
    // then returns false, and no unit is reported unreadable because of it.
    int mediumLost() const { return lost_.load(); }

    // Bytes in the source as last seen.
    std::uint64_t sourceSize() const { return size_; }
    // Reads of the source so far, and how many of them failed (or came back short).
    std::uint64_t reads() const { return reads_.load(); }
    std::uint64_t failedReads() const { return failedReads_.load(); }

private:
    // A buffer collecting a readable run for the job.
    struct Slot {
        AlignedBuffer memory;
        Chunk chunk;
    };
    // A chunk ready for the job; a failed unit carries no buffer.
    struct Entry {
        Chunk chunk;
        Slot* slot = nullptr;
    };

    void readAhead();
    void step();
    void blockRead();
    void probeRead();
    Outcome read(TransferFile& file, std::uint8_t* into, std::uint64_t length,
                 std::uint64_t offset);
    // One read of the source's bytes: of the file, or of the raw data track's user data.
    TransferResult readSource(TransferFile& file, std::uint8_t* into, std::uint64_t length,
                              std::uint64_t offset);
    bool refreshSize();
    std::uint64_t gridEnd() const;
    std::uint64_t unitsEnd(std::uint64_t bytes) const;
    // Where a small read of `length` bytes at pos goes: behind the run being collected when it
    // fits there, else at the start of a fresh buffer. Null when the reader is stopping.
    std::uint8_t* room(std::uint64_t length);
    // Adds the whole units of `bytes` read from pos into `data` to the run being collected.
    void collect(const std::uint8_t* data, std::uint64_t bytes);
    void fail();
    // A sweep's failed read: its bytes from pos to `end` go to the job as failed, and the reader
    // goes on after the skip.
    void skipOver(std::uint64_t end);
    // Hands the run being collected to the job.
    void publish();
    // Waits for a free buffer; null when the reader is stopping.
    Slot* acquire();
    bool holding() const;
    // After a failed read or size query: when the error says the medium is gone, the reader
    // stops there and remembers it; true then.
    bool lostMedium(int fd, int error);

    Options options_;
    std::uint64_t block_ = 0; // the length of a block read
    std::uint64_t blockAfterFailure_ = 0;
    std::uint64_t slotBytes_ = 0; // a buffer's room
    std::uint64_t searchCap_ = 0; // the largest probe inside a stretch that holds a failure
    std::uint64_t probeCap_ = 0;  // the largest probe
    TransferFile small_;          // probes and units: no read-ahead across a damaged place
    TransferFile blocks_;         // block reads: direct, or read ahead normally
    // The data track whose user data are the source, when a drive's medium is a disc of raw
    // sectors; the files above then hold its sectors whole.
    std::optional<RawDataTrack> track_;
    std::uint64_t size_ = 0;

    // The search, on the reader's thread only.
    std::uint64_t pos_ = 0; // the next unit to hand out
    // 0: block reads; otherwise the length of the next probe.
    std::uint64_t probe_ = 0;
    // A failure is known to lie before this offset: probes stay small until it is passed.
    std::uint64_t suspectEnd_ = 0;
    // Until this offset the source is read one unit at a time.
    std::uint64_t unitsUntil_ = 0;
    // Every byte from here to pos has been read without a failure (a direct read may start
    // again anywhere in between).
    std::uint64_t goodFrom_ = 0;
    // A sweep's next skip.
    std::uint64_t skip_ = 0;

    // Between the threads.
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Slot*> free_;
    std::deque<Entry> ready_;
    Slot* handedOut_ = nullptr; // the chunk the job holds, back to free_ at the next next()
    // The reader's thread only: the buffer collecting the readable units of small reads, so
    // that a search unit by unit reaches the job as one run rather than a wake-up per read.
    Slot* open_ = nullptr;
    bool finished_ = false; // the reader's thread reads nothing more
    bool waiting_ = false;  // the job waits in next()
    std::atomic<bool> stopping_{false};
    std::atomic<int> lost_{0};
    std::thread thread_;

    std::atomic<std::uint64_t> reads_{0};
    std::atomic<std::uint64_t> failedReads_{0};
};

} // namespace fr
