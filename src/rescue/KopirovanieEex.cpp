#include "rescue/KopirovanieEex.h"

#include "core/FillBuffers.h"
#include "platform/AlignedBuffer.h"
#include "platform/Platform.h"
#include "rescue/JobSignals.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
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
// Healthy stretches are read in blocks of this size, aligned for direct reads.
constexpr std::uint64_t kBlock = 1 << 20;
constexpr std::uint64_t kAlign = 4096;
// Near a failure the reads start at one unit and double while they succeed; inside a stretch
// known to hold a failure they stay at or below this, so that the last search, unit by unit,
// is short.
constexpr std::uint64_t kSearchCap = 4096;
// Probes this large are healthy enough to go back to block reads.
constexpr std::uint64_t kBackToBlocks = 64 * 1024;
constexpr auto kPauseWait = std::chrono::milliseconds(20);
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

std::uint64_t alignDown(std::uint64_t x) {
    return x / kAlign * kAlign;
}
std::uint64_t alignUp(std::uint64_t x) {
    return (x + kAlign - 1) / kAlign * kAlign;
}

QString systemText(int error) {
    return QString::fromStdString(std::generic_category().message(error));
}

// One read of the source: how many bytes came, or the errno of a read that failed.
struct ReadResult {
    long long bytes = 0;
    int error = 0;
};

ReadResult readAt(int fd, std::uint8_t* into, std::uint64_t length, std::uint64_t offset) {
    for (;;) {
        const ssize_t got = pread(fd, into, length, static_cast<off_t>(offset));
        if (got >= 0)
            return {got, 0};
        if (errno != EINTR)
            return {-1, errno};
    }
}

} // namespace

// The copy loop of one job. Bytes from `pos` on are looked at in units of 4 bytes, as the
// step-by-step rescue reads them: units start at pos, pos + 4, ... (the grid moves with pos,
// which only ever advances by whole units, fill blocks or the source's last few bytes).
//
// Reads come in three kinds:
// - block reads of up to 1 MiB, direct where the file system allows it, on healthy ground;
// - probes, starting at one unit after a failure and doubling while they succeed, capped at
//   4 KiB inside a stretch known to hold a failure;
// - single units, after a probe of several units failed: the first unit that fails is where
//   the step-by-step rescue would have failed, and gets the fill block.
// A damaged area therefore costs the failed block read, at most one failed probe, and then the
// very reads the step-by-step rescue fails on.
class KopirovanieEex::Copy {
public:
    explicit Copy(KopirovanieEex& engine)
        : e_(engine), s_(engine.setup_), pos_(engine.setup_.job.position.load()) {}

    ~Copy() {
        if (source_ >= 0)
            ::close(source_);
        if (direct_ >= 0)
            ::close(direct_);
        if (destination_ >= 0)
            ::close(destination_);
    }

    // Opens the files. On failure returns the errno.
    int open() {
        const QByteArray source = QFile::encodeName(s_.sourcePath);
        // The page has checked that the source is a file; should a pipe or a device have taken
        // its name since, opening it must not wait for a writer, and it is not copied.
        source_ = ::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (source_ < 0)
            return errno;
        struct stat sourceStatus {};
        if (fstat(source_, &sourceStatus) != 0)
            return errno;
        if (!S_ISREG(sourceStatus.st_mode))
            return S_ISDIR(sourceStatus.st_mode) ? EISDIR : EINVAL;
        // Small reads near a failure must not pull read-ahead across the damaged place.
        posix_fadvise(source_, 0, 0, POSIX_FADV_RANDOM);
        // Block reads bypass the cache, so nothing stale comes from it and a failure covers
        // exactly the part that failed; where direct reads are not allowed, a second handle
        // reads ahead normally.
        direct_ = ::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_DIRECT);
        if (direct_ >= 0) {
            directAligned_ = true;
        } else {
            direct_ = ::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            if (direct_ < 0)
                return errno;
            posix_fadvise(direct_, 0, 0, POSIX_FADV_SEQUENTIAL);
        }
        if (!refreshSize())
            return errno;

        buffer_ = allocateAligned(kBlock + kAlign, kAlign);
        if (!buffer_)
            return ENOMEM;

        // Created when missing, never truncated: a resumed copy keeps what an earlier run wrote.
        const QByteArray destination = QFile::encodeName(s_.destinationPath);
        destination_ = ::open(destination.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (destination_ < 0)
            return errno;
        struct stat status {};
        if (fstat(destination_, &status) != 0)
            return errno;
        startSize_ = static_cast<std::uint64_t>(status.st_size);
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

    // Closes the destination; the errno when that fails (a delayed write error).
    int closeDestination() {
        const int fd = destination_;
        destination_ = -1;
        if (fd >= 0 && ::close(fd) != 0)
            return errno;
        return 0;
    }

    // The loop. Returns 0, or the errno of a failure other than reading. `lowPriority` is the
    // state of the box when the job began, the priority state last applied.
    int run(bool lowPriority) {
        const std::uint8_t fillMode = s_.fillMode;
        // Zero fill for modes 0..2 and for values a hand-edited settings file may hold.
        fill_ =
            fillMode == 3 ? s_.buffers.fillBufferRandom.data() : s_.buffers.fillBufferZero.data();
        fillBytes_ = static_cast<std::uint64_t>(s_.buffers.blockBytes());
        total_ = s_.job.totalSize;
        goodFrom_ = pos_;

        while (pos_ < total_ && !s_.jobSignals->stopRequested.load()) {
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
            if (const int error = step())
                return error;
            reportProgress(false);
        }
        reportProgress(true);
        return 0;
    }

private:
    // The end of the unit grid: the end of the last unit that starts before totalSize.
    std::uint64_t gridEnd() const { return pos_ + (total_ - pos_ + kUnit - 1) / kUnit * kUnit; }

    bool refreshSize() {
        const off_t end = lseek(source_, 0, SEEK_END);
        if (end < 0)
            return false;
        size_ = static_cast<std::uint64_t>(end);
        return true;
    }

    // One read: `bytes` is what counts as read (the part before a short read's gap, up to the
    // end of the file); `ok` is false when any wanted byte before the end of the file could not
    // be read, be it an error or a read that came back short before the end.
    struct Outcome {
        std::uint64_t bytes = 0;
        bool ok = false;
        int error = 0;
    };

    Outcome read(int fd, std::uint8_t* into, std::uint64_t length, std::uint64_t offset) {
        ++e_.reads_;
        const ReadResult got = readAt(fd, into, length, offset);
        const std::uint64_t bytes = got.bytes > 0 ? static_cast<std::uint64_t>(got.bytes) : 0;
        if (got.error == 0 && bytes < length && offset + bytes < size_)
            refreshSize();
        const bool ok = got.error == 0 && (bytes == length || offset + bytes >= size_);
        if (!ok)
            ++e_.failedReads_;
        return {bytes, ok, got.error};
    }

    // The end of the whole units among the `bytes` read from pos on (the source's last, short
    // unit counts as whole), never past the grid.
    std::uint64_t unitsEnd(std::uint64_t bytes) const {
        const std::uint64_t end = pos_ + bytes >= size_ ? size_ : pos_ + bytes / kUnit * kUnit;
        return std::min(end, gridEnd());
    }

    // Writes at pos. `done` is how much reached the destination, also when the rest failed (a
    // volume that fills up takes the first part of a write).
    int write(const std::uint8_t* data, std::uint64_t length, std::uint64_t& done) {
        done = 0;
        while (done < length) {
            const ssize_t put =
                pwrite(destination_, data + done, length - done, static_cast<off_t>(pos_ + done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return errno;
            if (put == 0)
                return ENOSPC;
            done += static_cast<std::uint64_t>(put);
        }
        return 0;
    }

    // Saves the whole units of `bytes` read from pos into `data`.
    int save(const std::uint8_t* data, std::uint64_t bytes) {
        const std::uint64_t end = unitsEnd(bytes);
        if (end <= pos_)
            return 0;
        std::uint64_t done = 0;
        const int error = write(data, end - pos_, done);
        // The whole units written before a failure are saved: the step-by-step copy would have
        // written them before its write failed.
        advanceTo(error == 0 ? end : pos_ + done / kUnit * kUnit);
        return error;
    }

    // The unit at pos cannot be read: one fill block, and the copy goes on behind it. A fill
    // block written only in part is not handled: the position stays before it.
    int fillBlock() {
        readFailed_ = true;
        std::uint64_t done = 0;
        if (const int error = write(fill_, fillBytes_, done))
            return error;
        advanceTo(pos_ + fillBytes_);
        // Nothing before pos is known to read well now; look at the next unit first, as the
        // step-by-step rescue does.
        goodFrom_ = pos_;
        probe_ = kUnit;
        suspectEnd_ = 0;
        unitsUntil_ = 0;
        return 0;
    }

    void advanceTo(std::uint64_t end) { pos_ = end; }

    int step() {
        if (pos_ >= size_ && (!refreshSize() || pos_ >= size_)) {
            // The source ended before totalSize (it shrank since the start): the missing bytes
            // cannot be read, which is what fill blocks stand for. Without this the copy would
            // never reach its end.
            return fillBlock();
        }
        if (probe_ == 0)
            return blockRead();
        return probeRead();
    }

    int blockRead() {
        // Direct reads start on an aligned offset; the bytes between it and pos were read
        // just before, so reading them again cannot fail where the copy did not.
        const bool aligned = directAligned_;
        const std::uint64_t start = aligned ? alignDown(pos_) : pos_;
        if (aligned && start < goodFrom_ && start != pos_) {
            probe_ = kSearchCap; // reach the next aligned offset by a probe
            return probeRead();
        }
        const std::uint64_t end =
            std::min(start + kBlock, aligned ? alignUp(gridEnd()) : gridEnd());
        const Outcome got = read(direct_, buffer_.get(), end - start, start);
        if (aligned && got.error == EINVAL) {
            // The file system took the direct handle but refuses its reads: read normally.
            fcntl(direct_, F_SETFL, fcntl(direct_, F_GETFL) & ~O_DIRECT);
            directAligned_ = false;
            --e_.failedReads_;
            return 0;
        }
        const std::uint64_t skip = pos_ - start;
        const std::uint64_t bytes = got.bytes > skip ? got.bytes - skip : 0;
        if (const int error = save(buffer_.get() + skip, bytes))
            return error;
        if (got.ok)
            return 0;
        // A failure somewhere in the rest of the block: search it from pos.
        probe_ = kUnit;
        suspectEnd_ = end;
        // A read that came back short stopped at the place that failed: look there unit by
        // unit first.
        unitsUntil_ = got.bytes > skip ? start + got.bytes + kSearchCap : 0;
        return 0;
    }

    int probeRead() {
        std::uint64_t length = pos_ < unitsUntil_ ? kUnit : probe_;
        if (pos_ < suspectEnd_)
            length = std::min(length, kSearchCap);
        length = std::min(length, gridEnd() - pos_);
        const Outcome got = read(source_, buffer_.get(), length, pos_);
        const std::uint64_t from = pos_;
        if (got.ok) {
            if (const int error = save(buffer_.get(), got.bytes))
                return error;
            if (pos_ >= suspectEnd_)
                suspectEnd_ = 0;
            if (pos_ >= unitsUntil_) {
                unitsUntil_ = 0;
                probe_ = std::min(probe_ * 2, kBlock);
                if (probe_ >= kBackToBlocks && suspectEnd_ == 0)
                    probe_ = 0;
            }
            return 0;
        }
        if (length <= kUnit)
            return fillBlock();
        // Several units and one of them failed: keep what came, then look at the rest of the
        // probe unit by unit; the first unit that fails is the unreadable place.
        if (const int error = save(buffer_.get(), got.bytes))
            return error;
        unitsUntil_ = from + length;
        suspectEnd_ = std::max(suspectEnd_, unitsUntil_);
        probe_ = kUnit;
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
    }

    KopirovanieEex& e_;
    const Setup& s_;
    // The next offset to read and write; everything before it is handled.
    std::uint64_t pos_ = 0;
    bool readFailed_ = false;
    int source_ = -1; // small reads, no read-ahead
    int direct_ = -1; // block reads: direct, or buffered when the file system refuses
    bool directAligned_ = false;
    int destination_ = -1;        // closed by closeDestination(), or here on a failure
    std::uint64_t startSize_ = 0; // the destination's length when this run opened it
    AlignedBuffer buffer_;
    const std::uint8_t* fill_ = nullptr;
    std::uint64_t fillBytes_ = 0;
    std::uint64_t total_ = 0;
    std::uint64_t size_ = 0;
    // 0: block reads; otherwise the length of the next probe.
    std::uint64_t probe_ = 0;
    // A failure is known to lie before this offset: probes stay small until it is passed.
    std::uint64_t suspectEnd_ = 0;
    // Until this offset the source is read one unit at a time.
    std::uint64_t unitsUntil_ = 0;
    // Every byte from here to pos has been read without a failure (a direct read may start
    // again anywhere in between).
    std::uint64_t goodFrom_ = 0;
    Clock::time_point lastProgress_{};
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
    if (hooks_.post) {
        hooks_.post(std::move(work));
    } else if (QCoreApplication* application = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
    } else {
        work();
    }
}

CopyOutcome KopirovanieEex::run() {
    running_ = true;
    const JobSignals& jobSignals = *setup_.jobSignals;
    // Remembered before anything else; nothing is applied now.
    const bool lowPriority = jobSignals.lowPriority.load();
    CopyOutcome outcome;
    int error = 0;
    {
        Copy copy(*this);
        error = copy.open();
        if (error == 0)
            error = copy.run(lowPriority);
        if (error == 0)
            error = copy.closeDestination();
        else
            copy.dropUnhandledTail();
        outcome.position = copy.position();
        outcome.readFailed = copy.readFailed();
    }
    if (error != 0) {
        // Not an unreadable place: the copy cannot go on, and no end action follows.
        outcome.failure = systemText(error);
    } else if (jobSignals.deleteSource.load() && outcome.position >= setup_.job.totalSize) {
        // Only a copy that reached its end deletes its source; one that cannot be deleted stays.
        ::unlink(QFile::encodeName(setup_.sourcePath).constData());
    }
    if (hooks_.ended)
        post([hook = hooks_.ended, outcome] { hook(outcome); });
    running_ = false;
    return outcome;
}

} // namespace fr
