#pragma once

#include "core/AreaList.h"
#include "core/CopyJob.h"
#include "core/PostReport.h"
#include "core/ReadOrder.h"
#include "core/RescueMap.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace fr {

struct FillBuffers;
class LiveJob;
class Platform;
struct JobSignals;

// What became of the source of a copy run with the delete-source flag set.
enum class SourceDeletion {
    NotAsked, // the flag was not set, or the copy did not reach its end
    Deleted,  // every byte of it was read, and it is gone
    // Kept: this run did not read every byte of it (fill blocks, or a copy resumed after an
    // earlier run whose fill blocks nobody can tell any more), so it may hold the only copy of
    // some of them.
    Kept,
    Failed, // every byte was read, but the system refused to delete it (deletionFailure says why)
};

// How a copy ended, for the page.
struct CopyOutcome {
    // Bytes of the source handled: the next read and write offset. The destination holds
    // everything before it, and after a failure nothing this run wrote beyond it.
    std::uint64_t position = 0;
    // Some place could not be read and became a fill block (the error marker's "CHYBA").
    bool readFailed = false;
    // Where this run put those fill blocks: byte ranges of the destination (and of the source
    // they stand in for), one fill block long each, neighbours merged.
    AreaList filledAreas;
    // Why the copy could not go on (source cannot be opened, destination cannot be written,
    // disk full, its progress cannot be kept): the system's error text; empty when the copy
    // ended or was stopped.
    QString failure;
    // The source's medium went away (unplugged, connection lost): the copy ended as a stop
    // does, at the position reached, with nothing filled after the loss.
    bool mediumGone = false;
    SourceDeletion sourceDeletion = SourceDeletion::NotAsked;
    QString deletionFailure; // the system's reason when the source could not be deleted
};

// What the rescue copy tells the window. Every hook runs through `post`, in the order the copy
// produced them; `ended` is always the last.
struct KopirovanieEexHooks {
    // Runs a piece of work on the main thread. Empty: queued to the application object's
    // thread (run at once when there is no application, as in the command-line bench). The
    // page posts through itself, so that a report arriving after the page is gone is dropped.
    PostToMainThread post;
    // Percent of totalSize handled, rounded, and the position reached. The percent passes 100
    // when the last fill block reaches past the end of the source. Posted when either changes,
    // at most 20 times a second, and once more at the end.
    std::function<void(int percent, std::uint64_t position)> progress;
    // The job's map as it stands (what is read, what is unreadable, what is not tried yet) and
    // whether the copy is now reading around damaged places (trimming and going over them unit
    // by unit) rather than sweeping healthy stretches. Posted at most 4 times a second while it
    // changes, and once more at the end, before `ended`.
    std::function<void(const RescueMap& map, bool damagedArea)> mapped;
    // The copy is over: finished, stopped, or failed (CopyOutcome::failure). When it ran to its
    // end with the delete-source flag set and read every byte, the source is already deleted
    // (CopyOutcome::sourceDeletion says whether it was). The rest of the end
    // actions (the page's idle state, registering the medium, switching off) belong to the page,
    // on the main thread, in one sequence. After a failure there are none: the page stays
    // running until the user stops it, so that stop journals the position reached.
    std::function<void(const CopyOutcome& outcome)> ended;
};

// The rescue copy of one file. It never gives up on an unreadable place: each one becomes a
// fill block of the block size, and the copy goes on behind it. The result (destination bytes,
// fill blocks, position, whether a read failed) is exactly that of a loop reading 4 bytes at a
// time; it is only reached sooner: the source is read good data first (RescuePasses), in large
// blocks that skip over damaged places, which are gone over last, and 4-byte units only next
// to a place that fails. The position is the 4-byte loop's; the job's map carries what was
// read beyond it.
//
// Thread model: one object serves one job, and owns what it works on: a copy of the job and
// the job's own signals. start() runs the copy on a std::thread of its own; the page keeps the
// object until the job has ended (the destructor waits for the thread, so stop the job first).
// run() does the same work on the calling thread (the bench does this). Nothing the copy does
// reaches the rest of the program except through the hooks, so a stopped copy that finishes a
// slow read after the page has moved on can change nothing of the next job.
class KopirovanieEex {
public:
    struct Setup {
        CopyJob job;                            // sourceName, position, totalSize: the copy's own
        std::shared_ptr<JobSignals> jobSignals; // this job's stop, pause, priority, delete source
        const FillBuffers& buffers;             // their size is the fill block size
        std::uint8_t fillMode = 0;              // 3 random fill blocks, anything else zero ones
        Platform& platform;                     // process priority
        QString sourcePath;                     // native paths, converted from drive form
        QString destinationPath;
        // Where the job keeps its map and journal record while it runs; none for the bench.
        // Its earlier map says what is still to read: the pending areas from the position on.
        std::shared_ptr<LiveJob> live;
        // The order of the reads; the result is the same in every order.
        ReadOrder order{};
    };

    // Counters of the source's reads, for the bench, and the bytes of the fill blocks written
    // so far, for a progress line while the copy runs.
    struct ReadCounts {
        std::uint64_t reads = 0;
        std::uint64_t failedReads = 0;
        std::uint64_t filledBytes = 0;
        int pass = 0; // of the read order, from 1; 0 before the first
    };

    KopirovanieEex(Setup setup, KopirovanieEexHooks hooks);
    ~KopirovanieEex();
    KopirovanieEex(const KopirovanieEex&) = delete;
    KopirovanieEex& operator=(const KopirovanieEex&) = delete;

    // Starts the copy on its own thread and returns at once.
    void start();
    // Asks the copy to stop at its next step; it ends after the read or write under way.
    void stop();
    // Waits until the copy's thread has ended, end actions included.
    void wait();
    bool isRunning() const { return running_.load(); }
    // The whole job on the calling thread.
    CopyOutcome run();

    ReadCounts readCounts() const {
        return {reads_.load(), failedReads_.load(), filledBytes_.load(), pass_.load()};
    }

private:
    class Copy;

    void post(std::function<void()> work) const;

    Setup setup_;
    KopirovanieEexHooks hooks_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> reads_{0};
    std::atomic<std::uint64_t> failedReads_{0};
    std::atomic<std::uint64_t> filledBytes_{0};
    std::atomic<int> pass_{0};
};

} // namespace fr
