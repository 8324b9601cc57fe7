#include "core/BackgroundCommit.h"

#include "core/LiveJob.h"
#include "platform/WriteBack.h"

namespace fr {

namespace {

// Enough to keep the disk's queue busy, little enough that the sync at the end is short.
constexpr std::uint64_t kStartWritingEvery = 8 << 20;

} // namespace

BackgroundCommit::BackgroundCommit(LiveJob& live, int destination)
    : live_(live), destination_(destination), thread_([this] { work(); }) {}

BackgroundCommit::~BackgroundCommit() {
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BackgroundCommit::offer(ByteRange handled, const AreaList& unreadable,
                             std::uint64_t position) {
    {
        std::lock_guard guard(mutex_);
        if (busy_ || pending_ || failure_.failed())
            return;
    }
    offerMap(live_.mapWith(handled, unreadable), position);
}

void BackgroundCommit::offerMap(const RescueMap& map, std::uint64_t position) {
    {
        std::lock_guard guard(mutex_);
        if (busy_ || pending_ || failure_.failed())
            return;
        pending_ = State{map, position};
    }
    changed_.notify_all();
}

void BackgroundCommit::wrote(std::uint64_t bytes) {
    if (unwritten_.fetch_add(bytes) + bytes < kStartWritingEvery)
        return;
    unwritten_ = 0;
    {
        std::lock_guard guard(mutex_);
        startWriting_ = true;
    }
    changed_.notify_all();
}

BackgroundCommit::Failure BackgroundCommit::failure() const {
    std::lock_guard guard(mutex_);
    return failure_;
}

BackgroundCommit::Failure BackgroundCommit::finish(ByteRange handled, const AreaList& unreadable,
                                                   std::uint64_t position) {
    return finishMap(live_.mapWith(handled, unreadable), position);
}

BackgroundCommit::Failure BackgroundCommit::finishMap(const RescueMap& map,
                                                      std::uint64_t position) {
    {
        // The commit under way and the one handed over go first, in order.
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !busy_ && !pending_; });
        busy_ = true;
    }
    commitNow({map, position});
    std::lock_guard guard(mutex_);
    busy_ = false;
    changed_.notify_all();
    return failure_;
}

void BackgroundCommit::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock,
                      [this] { return stopping_ || (!busy_ && (pending_ || startWriting_)); });
        if (!busy_ && !pending_ && startWriting_) {
            startWriting_ = false;
            lock.unlock();
            startWriteBack(destination_);
            lock.lock();
            continue;
        }
        if (!pending_ || busy_)
            return; // stopping, nothing handed over
        const State state = std::move(*pending_);
        pending_.reset();
        busy_ = true;
        lock.unlock();
        commitNow(state);
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

void BackgroundCommit::commitNow(const State& state) {
    {
        std::lock_guard guard(mutex_);
        if (failure_.failed())
            return;
    }
    const int syncError = syncDestination(destination_);
    const QString commitError =
        syncError != 0 ? QString() : live_.commitMap(state.map, state.position);
    std::lock_guard guard(mutex_);
    failure_.syncError = syncError;
    failure_.commitError = commitError;
}

} // namespace fr
