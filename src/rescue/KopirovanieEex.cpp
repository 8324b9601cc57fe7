#include "rescue/KopirovanieEex.h"

#include "core/BackgroundCommit.h"
#include "core/FillBuffers.h"
#include "core/JobSignals.h"
#include "core/LiveJob.h"
#include "core/PostReport.h"
#include "disk/RescuePasses.h"
#include "platform/DestinationLock.h"
#include "platform/FileName.h"
#include "platform/Platform.h"
#include "platform/Transfer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fr {

namespace {

using Clock = std::chrono::steady_clock;

// The unit of the step-by-step rescue: every readable group of 4 bytes up to an unreadable
// place is saved, and a failed group costs one fill block.
constexpr std::uint64_t kUnit = 4;
constexpr auto kPauseWait = std::chrono::milliseconds(20);
constexpr auto kProgressInterval = std::chrono::milliseconds(50);
constexpr auto kMapInterval = std::chrono::milliseconds(250);

QString systemText(int error) {
    return QString::fromStdString(std::generic_category().message(error));
}

} // namespace

// The copy loop of one job. The passes read the source good data first and hand over what
// they read, and the unit-by-unit rule's fill blocks; this loop writes each where it belongs,
// keeps the job's map and record, and reports. The result is the step-by-step rescue's: the
// passes decide every fill block as a loop reading 4 bytes at a time from the position would.
class KopirovanieEex::Copy : public RescueSink {
public:
    explicit Copy(KopirovanieEex& engine)
        : e_(engine), s_(engine.setup_), pos_(engine.setup_.job.position.load()),
          total_(engine.setup_.job.totalSize),
          fillBytes_(static_cast<std::uint64_t>(engine.setup_.buffers.blockBytes())) {
        // Zero fill for modes 0..2 and for values a hand-edited settings file may hold.
        fill_ = s_.fillMode == 3 ? s_.buffers.fillBufferRandom.data()
                                 : s_.buffers.fillBufferZero.data();
    }

    ~Copy() override {
        // The commits stop before the destination they sync is closed.
        commits_.reset();
        if (destination_ >= 0)
            ::close(destination_);
    }

    // Opens the files. On failure returns the errno.
    int open(bool lowPriority) {
        lowPriority_ = lowPriority;
        const ByteRange rest{static_cast<std::int64_t>(pos_), static_cast<std::int64_t>(total_)};
        // What is left: the rest of the source from the position, where the bytes the job's
        // earlier runs read are passed over. A map the user named is another tool's word: only
        // its pending areas are read, and its read areas are never written.
        std::vector<ByteRange> areas;
        AreaList readBefore;
        if (s_.live && s_.live->earlierNamedByUser()) {
            for (const ByteRange& area : s_.live->earlier().pending())
                if (!area.intersection(rest).empty())
                    areas.push_back(area.intersection(rest));
        } else if (!rest.empty()) {
            areas.push_back(rest);
            if (s_.live) {
                const AreaList pending = s_.live->earlier().pending();
                for (const ByteRange& read : pending.gapsIn(rest))
                    readBefore.add(read);
            }
        }
        // Everything before the first area still to read is done; the copy starts there.
        pos_ = std::max(pos_,
                        areas.empty() ? total_ : static_cast<std::uint64_t>(areas.front().start));

        RescuePasses::Setup passes;
        passes.path = s_.sourcePath;
        passes.reading.unit = kUnit;
        passes.reading.afterFailure = fillBytes_;
        // The page has checked that the source is a file; should a pipe or a device have taken
        // its name since, it is not copied.
        passes.reading.regularFileOnly = true;
        // A paused or stopping job reads nothing more from a medium that may be dying.
        passes.reading.hold = [jobSignals = s_.jobSignals] {
            return jobSignals->paused.load() || jobSignals->stopRequested.load();
        };
        passes.total = total_;
        passes.areas = std::move(areas);
        passes.order = s_.order;
        passes_ = std::make_unique<RescuePasses>(std::move(passes), *this);
        // With nothing left to read the source is still opened, as every copy opens it: one
        // that is gone or is no file any more is said so, not passed over.
        if (const int error = passes_->open()) {
            // A medium that is gone already is no failure of the copy: it ends as a stop.
            mediumGone_ = saysMediumGone(error);
            return mediumGone_ ? 0 : error;
        }
        passes_->seedRead(readBefore);

        // Created when missing, never truncated: a resumed copy keeps what an earlier run wrote.
        const QByteArray destination = fileNameBytes(s_.destinationPath);
        destination_ = ::open(destination.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (destination_ < 0)
            return errno;
        // Held until the destination is closed: a second job on this file is refused, and
        // leaves the other job's bytes as they are.
        if (const int error = lockDestination(destination_)) {
            ::close(destination_);
            destination_ = -1;
            return error;
        }
        struct stat status {};
        if (fstat(destination_, &status) != 0)
            return errno;
        startSize_ = static_cast<std::uint64_t>(status.st_size);
        if (s_.live)
            commits_ = std::make_unique<BackgroundCommit>(*s_.live, destination_);
        return 0;
    }

    // After a failure: what this run wrote beyond what the map calls read is cut off, so that
    // the destination holds nothing the map does not account for. Bytes an earlier run left
    // there stay, as a resume keeps them.
    void dropUnhandledTail() {
        std::uint64_t keep = std::max(pos_, startSize_);
        if (passes_) {
            const RescueMap map = passes_->map({});
            for (const RescueMap::Block& block : map.blocks())
                if (block.status != RescueMap::Status::Untried)
                    keep = std::max(keep, static_cast<std::uint64_t>(block.range.end));
            keep = std::max<std::uint64_t>(keep, passes_->position());
        }
        struct stat status {};
        if (destination_ < 0 || fstat(destination_, &status) != 0 ||
            static_cast<std::uint64_t>(status.st_size) <= keep)
            return;
        // The failure that ended the copy is the one reported; should the cut fail as well,
        // the journal shows the destination as unexpected and the resume asks about it.
        [[maybe_unused]] const int cut = ftruncate(destination_, static_cast<off_t>(keep));
    }

    std::uint64_t position() const { return pos_; }
    bool readFailed() const { return passes_ && passes_->anyFill(); }
    bool mediumGone() const { return mediumGone_; }
    AreaList filledAreas() const { return passes_ ? passes_->filled() : AreaList(); }

    // Closes the destination; the errno when that fails (a delayed write error).
    int closeDestination() {
        commits_.reset();
        const int fd = destination_;
        destination_ = -1;
        if (fd >= 0 && ::close(fd) != 0)
            return errno;
        return 0;
    }

    // The passes. Returns 0, or the errno of a failure other than reading.
    int run() {
        // A job paused before it began reads nothing until it goes on.
        followPriorityAndPause();
        int error = stopping() ? 0 : passes_->run();
        mediumGone_ = mediumGone_ || passes_->mediumGone();
        pos_ = std::max<std::uint64_t>(pos_, passes_->position());
        countReads();
        if (error == 0)
            reportProgress(true);
        return error;
    }

    // The last commit, however the copy ended, after the data is on the disk. 0, or the errno
    // of a failed sync (the destination cannot be written); a map or record that cannot be
    // written ends the job as well, with its reason in `checkpointFailure`.
    int checkpoint() {
        if (!commits_)
            return 0;
        return failureOf(commits_->finishMap(map(), pos_));
    }
    const QString& checkpointFailure() const { return checkpointFailure_; }

    // True once the source is open and the destination too (a medium that was gone when the
    // copy began leaves both closed).
    bool opened() const { return destination_ >= 0; }

    // --- What the passes hand over ---------------------------------------------------------

    int readable(std::uint64_t offset, const std::uint8_t* data, std::uint64_t length) override {
        const TransferResult put = writeFully(destination_, data, length, offset);
        if (commits_)
            commits_->wrote(put.bytes);
        return put.error;
    }

    // A fill block; one written only in part is not handled.
    int unreadable(std::uint64_t offset, std::uint64_t length) override {
        const TransferResult put = writeFully(destination_, fill_, length, offset);
        if (commits_)
            commits_->wrote(put.bytes);
        if (put.error != 0)
            return put.error;
        e_.filledBytes_ += length;
        return 0;
    }

    int between(const RescuePasses& passes) override {
        followPriorityAndPause();
        return betweenReads(passes);
    }

    // The priority follows the box only when it changes during the job; a paused job waits.
    void followPriorityAndPause() {
        for (;;) {
            const bool wanted = s_.jobSignals->lowPriority.load();
            if (wanted != lowPriority_) {
                s_.platform.setIdlePriority(wanted);
                lowPriority_ = wanted;
            }
            if (!s_.jobSignals->paused.load() || stopping())
                return;
            std::this_thread::sleep_for(kPauseWait);
        }
    }

    int betweenReads(const RescuePasses& passes) {
        pos_ = std::max<std::uint64_t>(pos_, passes.position());
        countReads();
        if (commits_ && s_.live->due()) {
            commits_->offerMap(map(), pos_);
            if (const int error = failureOf(commits_->failure()))
                return error;
        }
        reportProgress(false);
        return 0;
    }

    bool stopping() const override { return s_.jobSignals->stopRequested.load(); }

private:
    RescueMap map() const { return passes_->map(s_.live ? s_.live->earlier() : RescueMap{}); }

    void countReads() {
        if (!passes_)
            return;
        e_.reads_ = passes_->reads();
        e_.failedReads_ = passes_->failedReads();
        e_.pass_ = passes_->pass();
    }

    int failureOf(const BackgroundCommit::Failure& failure) {
        if (!failure.failed())
            return 0;
        checkpointFailure_ = failure.commitError;
        return failure.syncError != 0 ? failure.syncError : EIO;
    }

    void reportProgress(bool last) {
        if (total_ == 0)
            return;
        const auto now = Clock::now();
        if (!last && now - lastProgress_ < kProgressInterval)
            return;
        // The share of the source that is settled: read, or under a fill block. Past 100 when
        // the last fill block reaches beyond the end of the source, as the position does.
        const std::int64_t settled =
            pos_ > total_ ? static_cast<std::int64_t>(pos_) : passes_->settledBytes();
        const int percent = static_cast<int>(
            std::llround(static_cast<double>(settled) / static_cast<double>(total_) * 100.0));
        // The position goes with it, so that a stop can journal how far the copy got.
        const auto position = pos_;
        const bool damaged = passes_->damagedArea();
        if (e_.hooks_.mapped && (last || now - lastMapped_ >= kMapInterval)) {
            lastMapped_ = now;
            e_.post([hook = e_.hooks_.mapped, map = map(), damaged] { hook(map, damaged); });
        }
        if (percent == lastPercent_ && position == lastPosition_)
            return;
        lastProgress_ = now;
        lastPercent_ = percent;
        lastPosition_ = position;
        if (e_.hooks_.progress)
            e_.post([hook = e_.hooks_.progress, percent, position] { hook(percent, position); });
    }

    KopirovanieEex& e_;
    const Setup& s_;
    // The unit-by-unit rule's position: everything before it is final.
    std::uint64_t pos_ = 0;
    const std::uint64_t total_;
    const std::uint64_t fillBytes_;
    const std::uint8_t* fill_ = nullptr;
    bool mediumGone_ = false;
    bool lowPriority_ = false;
    std::unique_ptr<RescuePasses> passes_;
    QString checkpointFailure_;
    // Syncs the destination and commits the copy's progress beside it; none without a map.
    std::unique_ptr<BackgroundCommit> commits_;
    int destination_ = -1;        // closed by closeDestination(), or here on a failure
    std::uint64_t startSize_ = 0; // the destination's length when this run opened it
    Clock::time_point lastProgress_{};
    Clock::time_point lastMapped_{};
    int lastPercent_ = -1;
    std::uint64_t lastPosition_ = 0;
};

KopirovanieEex::KopirovanieEex(Setup setup, KopirovanieEexHooks hooks)
    : setup_(std::move(setup)), hooks_(std::move(hooks)) {}

KopirovanieEex::~KopirovanieEex() {
    wait();
}

void KopirovanieEex::start() {
    wait();
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

void KopirovanieEex::stop() {
    setup_.jobSignals->stopRequested = true;
}

void KopirovanieEex::wait() {
    if (thread_.joinable())
        thread_.join();
}

void KopirovanieEex::post(std::function<void()> work) const {
    postReport(hooks_.post, std::move(work));
}

CopyOutcome KopirovanieEex::run() {
    running_ = true;
    const JobSignals& jobSignals = *setup_.jobSignals;
    // Remembered before anything else; nothing is applied now.
    const bool lowPriority = jobSignals.lowPriority.load();
    CopyOutcome outcome;
    const std::uint64_t startedAt = setup_.job.position.load();
    int error = 0;
    QString failureText;
    {
        Copy copy(*this);
        error = copy.open(lowPriority);
        if (error == 0 && copy.opened())
            error = copy.run();
        // However it ended, the map and the record say where: after the data is on the disk.
        if (error == 0)
            error = copy.checkpoint();
        if (error == 0) {
            error = copy.closeDestination();
        } else {
            failureText = copy.checkpointFailure();
            copy.dropUnhandledTail();
            // The failure above is the one reported; should this sync or commit fail too, the
            // map and record keep their last commit, which the disk holds.
            if (failureText.isEmpty()) [[maybe_unused]]
                const int ignored = copy.checkpoint();
        }
        outcome.position = copy.position();
        outcome.readFailed = copy.readFailed();
        outcome.filledAreas = copy.filledAreas();
        outcome.mediumGone = copy.mediumGone();
    }
    const bool reachedEnd = outcome.position >= setup_.job.totalSize;
    if (error != 0) {
        // Not an unreadable place: the copy cannot go on, and no end action follows.
        outcome.failure = !failureText.isEmpty() ? failureText
                          : error == EWOULDBLOCK ? destinationInUseReason()
                                                 : systemText(error);
    } else if (jobSignals.deleteSource.load() && reachedEnd && !outcome.mediumGone) {
        // The source goes only when this run read every byte of it: a fill block stands for
        // bytes that exist nowhere else, and the fill blocks of an earlier run of a resumed
        // copy are no longer known.
        const bool everyByteRead = startedAt == 0 && !outcome.readFailed;
        if (!everyByteRead) {
            outcome.sourceDeletion = SourceDeletion::Kept;
        } else if (::unlink(fileNameBytes(setup_.sourcePath).constData()) == 0) {
            outcome.sourceDeletion = SourceDeletion::Deleted;
        } else {
            outcome.sourceDeletion = SourceDeletion::Failed;
            outcome.deletionFailure = systemText(errno);
        }
    }
    if (hooks_.ended)
        post([hook = hooks_.ended, outcome] { hook(outcome); });
    running_ = false;
    return outcome;
}

} // namespace fr
