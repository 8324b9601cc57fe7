#include "rescue/KopirovanieEex.h"

#include "core/BackgroundCommit.h"
#include "core/FillBuffers.h"
#include "core/JobSignals.h"
#include "core/LiveJob.h"
#include "core/PostReport.h"
#include "disk/BlockReader.h"
#include "platform/DestinationLock.h"
#include "platform/Platform.h"
#include "platform/Transfer.h"

#include <QFile>
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

// The copy loop of one job. The block reader hands out the source as the step-by-step rescue
// reads it, 4 bytes at a time from the position: runs of readable units, and single units
// that cannot be read. This loop writes the runs where they belong and a fill block for each
// unreadable unit; the reader skips the source bytes a fill block stands for, so the unit grid
// moves with the position exactly as in the step-by-step loop. The reader fills its next
// buffers while this thread writes.
class KopirovanieEex::Copy {
public:
    explicit Copy(KopirovanieEex& engine)
        : e_(engine), s_(engine.setup_), pos_(engine.setup_.job.position.load()),
          total_(engine.setup_.job.totalSize),
          fillBytes_(static_cast<std::uint64_t>(engine.setup_.buffers.blockBytes())) {
        // Zero fill for modes 0..2 and for values a hand-edited settings file may hold.
        fill_ = s_.fillMode == 3 ? s_.buffers.fillBufferRandom.data()
                                 : s_.buffers.fillBufferZero.data();
    }

    ~Copy() {
        // The commits stop before the destination they sync is closed.
        commits_.reset();
        if (destination_ >= 0)
            ::close(destination_);
    }

    // Opens the files. On failure returns the errno.
    int open() {
        // What is left to read: the pending areas of the job's map from the position on (all of
        // it after the position when no earlier run left a map).
        const ByteRange rest{static_cast<std::int64_t>(pos_), static_cast<std::int64_t>(total_)};
        AreaList left;
        if (s_.live) {
            for (const ByteRange& area : s_.live->earlier().pending())
                left.add(area.intersection(rest));
        } else {
            left.add(rest);
        }
        areas_ = left.areas();
        from_ = areas_.empty() ? total_ : static_cast<std::uint64_t>(areas_.front().start);
        // Everything before the first area still to read is done; the copy starts there.
        pos_ = std::max(pos_, from_);
        if (const int error = openArea())
            return error;

        // Created when missing, never truncated: a resumed copy keeps what an earlier run wrote.
        const QByteArray destination = QFile::encodeName(s_.destinationPath);
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

    // Opens the reader on the next area still to read; none left, the copy is at its end.
    int openArea() {
        source_->stop();
        readsBefore_ += source_->reads();
        failedReadsBefore_ += source_->failedReads();
        source_ = std::make_unique<BlockReader>();
        // With nothing left to read the source is still opened, as every copy opens it: one
        // that is gone or is no file any more is said so, not passed over.
        const bool nothingLeft = area_ >= areas_.size();
        if (nothingLeft && area_ > 0) {
            pos_ = std::max(pos_, total_);
            return 0;
        }
        const std::uint64_t end = std::max(pos_, total_);
        const ByteRange area =
            nothingLeft ? ByteRange{static_cast<std::int64_t>(end), static_cast<std::int64_t>(end)}
                        : areas_[area_];
        pos_ = static_cast<std::uint64_t>(area.start);
        areaEnd_ = static_cast<std::uint64_t>(area.end);
        BlockReader::Options options;
        options.unit = kUnit;
        options.afterFailure = fillBytes_;
        options.from = pos_;
        options.until = areaEnd_;
        // The page has checked that the source is a file; should a pipe or a device have taken
        // its name since, it is not copied.
        options.regularFileOnly = true;
        // A paused or stopping job reads nothing more from a medium that may be dying.
        options.hold = [jobSignals = s_.jobSignals] {
            return jobSignals->paused.load() || jobSignals->stopRequested.load();
        };
        if (const int error = source_->open(s_.sourcePath, options)) {
            // A medium that is gone already is no failure of the copy: it ends as a stop.
            mediumGone_ = saysMediumGone(error);
            return mediumGone_ ? 0 : error;
        }
        return 0;
    }

    // After a failure: what this run wrote beyond the position is cut off, so that the
    // destination ends where the position says and a resume neither skips nor repeats a byte.
    // Bytes an earlier run left there stay, as a resume keeps them.
    void dropUnhandledTail() {
        const std::uint64_t keep = std::max(pos_, startSize_);
        struct stat status {};
        if (destination_ < 0 || fstat(destination_, &status) != 0 ||
            static_cast<std::uint64_t>(status.st_size) <= keep)
            return;
        // The failure that ended the copy is the one reported; should the cut fail as well,
        // the journal shows the destination as unexpected and the resume asks about it.
        [[maybe_unused]] const int cut = ftruncate(destination_, static_cast<off_t>(keep));
    }

    std::uint32_t position() const { return static_cast<std::uint32_t>(pos_); }
    bool readFailed() const { return readFailed_; }
    bool mediumGone() const { return mediumGone_; }
    const AreaList& filledAreas() const { return filled_; }

    // Closes the destination; the errno when that fails (a delayed write error).
    int closeDestination() {
        commits_.reset();
        const int fd = destination_;
        destination_ = -1;
        if (fd >= 0 && ::close(fd) != 0)
            return errno;
        return 0;
    }

    // The loop. Returns 0, or the errno of a failure other than reading. `lowPriority` is the
    // state of the box when the job began, the priority state last applied.
    int run(bool lowPriority) {
        int error = 0;
        while (pos_ < total_ && !mediumGone_ && !s_.jobSignals->stopRequested.load()) {
            // The priority follows the box only when it changes during the job.
            const bool wanted = s_.jobSignals->lowPriority.load();
            if (wanted != lowPriority) {
                s_.platform.setIdlePriority(wanted);
                lowPriority = wanted;
            }
            if (s_.jobSignals->paused.load()) {
                std::this_thread::sleep_for(kPauseWait);
                continue;
            }
            if (pos_ >= areaEnd_) {
                // The area is read; between it and the next one the map says all is read.
                ++area_;
                if ((error = openArea()) != 0)
                    break;
                continue;
            }
            BlockReader::Chunk chunk;
            // The reader hands out units until the end of the area; running dry before it
            // would be a fault of the reader, not a place of the source, unless the medium
            // went away: then the copy ends where it got, as a stop does.
            if (!source_->next(chunk) || chunk.offset != pos_) {
                mediumGone_ = source_->mediumLost() != 0;
                if (!mediumGone_)
                    error = EIO;
                break;
            }
            error = chunk.failed ? fillBlock() : save(chunk.data, chunk.length);
            countReads();
            if (error == 0 && commits_ && s_.live->due())
                error = handOverProgress();
            if (error != 0)
                break;
            reportProgress(false);
        }
        countReads();
        if (error == 0)
            reportProgress(true);
        return error;
    }

    // Hands what the copy has done to the background commit, which makes it safe on the
    // destination's disk and only then lets the map and the journal record say so; the copy
    // goes on meanwhile. 0, or the errno of a failure of an earlier commit.
    int handOverProgress() {
        commits_->offer(handled(), filled_, static_cast<std::uint32_t>(pos_));
        return failureOf(commits_->failure());
    }

    // The last commit, however the copy ended, after the data is on the disk. 0, or the errno
    // of a failed sync (the destination cannot be written); a map or record that cannot be
    // written ends the job as well, with its reason in `checkpointFailure`.
    int checkpoint() {
        if (!commits_)
            return 0;
        return failureOf(commits_->finish(handled(), filled_, static_cast<std::uint32_t>(pos_)));
    }
    const QString& checkpointFailure() const { return checkpointFailure_; }

    // True once the source is open and the destination too (a medium that was gone when the
    // copy began leaves both closed).
    bool opened() const { return destination_ >= 0; }

private:
    void countReads() {
        // Each area has a reader of its own; the counts go on from the areas before.
        e_.reads_ = readsBefore_ + source_->reads();
        e_.failedReads_ = failedReadsBefore_ + source_->failedReads();
    }

    ByteRange handled() const {
        return {static_cast<std::int64_t>(from_), static_cast<std::int64_t>(pos_)};
    }
    int failureOf(const BackgroundCommit::Failure& failure) {
        if (!failure.failed())
            return 0;
        checkpointFailure_ = failure.commitError;
        return failure.syncError != 0 ? failure.syncError : EIO;
    }

    // Writes the whole units read from pos. Inside the source the area's end is kept: the bytes
    // behind it are read already, and stay as they are.
    int save(const std::uint8_t* data, std::uint64_t length) {
        if (areaEnd_ < total_)
            length = std::min(length, areaEnd_ - pos_);
        const TransferResult put = writeFully(destination_, data, length, pos_);
        // The whole units written before a failure are saved: the step-by-step copy would have
        // written them before its write failed.
        pos_ += put.error == 0 ? length : put.bytes / kUnit * kUnit;
        return put.error;
    }

    // The unit at pos cannot be read: one fill block, and the copy goes on behind it. A fill
    // block written only in part is not handled: the position stays before it.
    int fillBlock() {
        readFailed_ = true;
        // Inside the source a fill block stops at the area's end, where read bytes follow.
        const std::uint64_t bytes =
            areaEnd_ < total_ ? std::min(fillBytes_, areaEnd_ - pos_) : fillBytes_;
        const TransferResult put = writeFully(destination_, fill_, bytes, pos_);
        if (put.error != 0)
            return put.error;
        filled_.add({static_cast<std::int64_t>(pos_), static_cast<std::int64_t>(pos_ + bytes)});
        e_.filledBytes_ += bytes;
        pos_ += bytes;
        return 0;
    }

    void reportProgress(bool last) {
        if (total_ == 0)
            return;
        const auto now = Clock::now();
        if (!last && now - lastProgress_ < kProgressInterval)
            return;
        const int percent = static_cast<int>(
            std::llround(static_cast<double>(pos_) / static_cast<double>(total_) * 100.0));
        // The position goes with it, so that a stop can journal how far the copy got.
        const auto position = static_cast<std::uint32_t>(pos_);
        if (percent == lastPercent_ && position == lastPosition_)
            return;
        lastProgress_ = now;
        lastPercent_ = percent;
        lastPosition_ = position;
        if (e_.hooks_.progress)
            e_.post([hook = e_.hooks_.progress, percent, position] { hook(percent, position); });
        if (e_.hooks_.mapped && (last || now - lastMapped_ >= kMapInterval)) {
            lastMapped_ = now;
            RescueMap map = RescueMap::ofRun(static_cast<std::int64_t>(total_), handled(), filled_);
            if (s_.live)
                map = RescueMap::withRun(s_.live->earlier(), map, handled());
            e_.post([hook = e_.hooks_.mapped, map] { hook(map, false); });
        }
    }

    KopirovanieEex& e_;
    const Setup& s_;
    // The next offset to read and write; everything before it is handled.
    std::uint64_t pos_ = 0;
    const std::uint64_t total_;
    const std::uint64_t fillBytes_;
    const std::uint8_t* fill_ = nullptr;
    bool readFailed_ = false;
    bool mediumGone_ = false;
    AreaList filled_;
    std::vector<ByteRange> areas_; // still to read, in order
    std::size_t area_ = 0;         // the one being read
    std::uint64_t areaEnd_ = 0;
    std::uint64_t from_ = 0; // where this run began: the start of the first area
    std::unique_ptr<BlockReader> source_ = std::make_unique<BlockReader>();
    std::uint64_t readsBefore_ = 0;
    std::uint64_t failedReadsBefore_ = 0;
    QString checkpointFailure_;
    // Syncs the destination and commits the copy's progress beside it; none without a map.
    std::unique_ptr<BackgroundCommit> commits_;
    int destination_ = -1;        // closed by closeDestination(), or here on a failure
    std::uint64_t startSize_ = 0; // the destination's length when this run opened it
    Clock::time_point lastProgress_{};
    Clock::time_point lastMapped_{};
    int lastPercent_ = -1;
    std::uint32_t lastPosition_ = 0;
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
    const std::uint32_t startedAt = setup_.job.position.load();
    int error = 0;
    QString failureText;
    {
        Copy copy(*this);
        error = copy.open();
        if (error == 0 && copy.opened())
            error = copy.run(lowPriority);
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
        } else if (::unlink(QFile::encodeName(setup_.sourcePath).constData()) == 0) {
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
