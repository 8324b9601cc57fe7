#pragma once

#include "core/AreaList.h"
#include "core/ByteRange.h"
#include "core/RescueMap.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

namespace fr {

class LiveJob;

// Brings a running job's map and record up to date on a thread of its own: it syncs the job's
// destination and only then commits the state the job handed it, while the job goes on reading
// and writing. The disk then catches up beside the job instead of holding it up every few
// seconds, and the order of durability stays: a commit never claims more than the sync before
// it put on the disk (a sync covers every byte written before it, the state handed over
// included).
//
// Between commits the same thread has the disk start writing what the job wrote (see wrote()):
// left to itself the system would keep it in memory until the sync, the disk idle while the
// source is read and the job waiting on the disk at its end.
//
// One object serves one job and one open destination, which must stay open until the
// destructor has returned (the thread may still start the disk writing after finish()).
class BackgroundCommit {
public:
    // What stopped the commits: the errno of a failed sync of the destination, or the text of
    // a map or record that could not be written. After a failed sync nothing more is
    // committed: the system reports lost writes to one sync only, so a later one proves nothing.
    struct Failure {
        int syncError = 0;
        QString commitError;
        bool failed() const { return syncError != 0 || !commitError.isEmpty(); }
    };

    BackgroundCommit(LiveJob& live, int destination);
    ~BackgroundCommit();
    BackgroundCommit(const BackgroundCommit&) = delete;
    BackgroundCommit& operator=(const BackgroundCommit&) = delete;

    // When the job's commit is due: hands this state over, unless a commit is under way (the
    // next due one then takes the newer state). Cheap otherwise.
    void offer(ByteRange handled, const AreaList& unreadable, std::uint64_t position);
    // The same with the job's whole map (see LiveJob::commitMap).
    void offerMap(const RescueMap& map, std::uint64_t position);
    // The job wrote `bytes` more to the destination: every few megabytes the thread has the
    // disk start writing them. Cheap; the job's thread never waits on the disk for it.
    void wrote(std::uint64_t bytes);
    // The failure so far, without waiting.
    Failure failure() const;
    // The last commit, on the caller's thread, after the one under way: sync, then commit. The
    // failure that stopped the commits, if any.
    Failure finish(ByteRange handled, const AreaList& unreadable, std::uint64_t position);
    Failure finishMap(const RescueMap& map, std::uint64_t position);

private:
    struct State {
        RescueMap map;
        std::uint64_t position = 0;
    };
    void work();
    // Syncs and commits `state`, unless a failure came first. Called with the lock released.
    void commitNow(const State& state);

    LiveJob& live_;
    const int destination_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<State> pending_;
    bool busy_ = false;
    std::atomic<std::uint64_t> unwritten_{0}; // written by the job since the last start
    bool startWriting_ = false;
    bool stopping_ = false;
    Failure failure_;
    std::thread thread_;
};

} // namespace fr
