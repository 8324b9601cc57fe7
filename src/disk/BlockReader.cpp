#include "disk/BlockReader.h"

#include "disk/CdDisc.h"
#include "platform/FileName.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fr {

namespace {

// Healthy stretches are read in blocks of this size, aligned for direct reads.
constexpr std::uint64_t kBlock = 1 << 20;
constexpr std::uint64_t kAlign = TransferFile::kDirectAlignment;
// Near a failure the reads start at one unit and double while they succeed; inside a stretch
// known to hold a failure they stay at or below this, so that the last search, unit by unit,
// is short.
constexpr std::uint64_t kSearchCap = 4096;
// Probes this large are healthy enough to go back to block reads.
constexpr std::uint64_t kBackToBlocks = 64 * 1024;
// A sweep skips this far after its first failed read, twice as far after each further one in
// a row, and half as far again after each read that succeeds.
constexpr std::uint64_t kSkipFirst = 1 << 20;
constexpr std::uint64_t kSkipMost = std::uint64_t(1) << 30;
// Buffers between the reader and the job: one being written, the rest read ahead.
constexpr int kSlots = 4;
// Failed units waiting for the job, at most.
constexpr std::size_t kMaxReady = 64;
constexpr auto kHoldWait = std::chrono::milliseconds(20);

std::uint64_t alignDown(std::uint64_t x) {
    return x / kAlign * kAlign;
}
std::uint64_t alignUp(std::uint64_t x) {
    return (x + kAlign - 1) / kAlign * kAlign;
}

} // namespace

BlockReader::~BlockReader() {
    stop();
    if (thread_.joinable())
        thread_.join();
}

int BlockReader::open(const QString& path, const Options& options) {
    options_ = options;
    options_.unit = std::max<std::uint64_t>(options_.unit, 1);
    if (options_.afterFailure == 0)
        options_.afterFailure = options_.unit;
    const std::uint64_t unit = options_.unit;
    // A block read starts up to one alignment before pos and must hold at least one unit.
    const std::uint64_t least = alignUp(unit + kAlign);
    block_ = std::max(alignUp(options_.block != 0 ? options_.block : kBlock), least);
    blockAfterFailure_ = options_.blockAfterFailure != 0
                             ? std::max(alignUp(options_.blockAfterFailure), least)
                             : block_;
    slotBytes_ = std::max(block_, blockAfterFailure_) + kAlign;
    searchCap_ = std::max<std::uint64_t>(kSearchCap / unit, 1) * unit;
    probeCap_ = std::max<std::uint64_t>(kBlock / unit, 1) * unit;
    pos_ = goodFrom_ = options_.from;
    skip_ = kSkipFirst;
    if (options_.suspectUntil > pos_) {
        probe_ = unit;
        suspectEnd_ = options_.suspectUntil;
    }

    // A drive's medium given as a cue sheet is read from its disc's data track.
    track_ = options_.driveMedium ? RawDataTrack::of(path) : std::nullopt;
    const QByteArray name =
        fileNameBytes(options_.driveMedium ? CdDisc::dataTrackSource(path) : path);
    if (const int error = small_.open(name, O_RDONLY | O_NONBLOCK, false))
        return error;
    struct stat status {};
    if (fstat(small_.fd(), &status) != 0)
        return errno;
    if (S_ISDIR(status.st_mode))
        return EISDIR;
    if (!S_ISREG(status.st_mode) && (options_.regularFileOnly || !S_ISBLK(status.st_mode)))
        return EINVAL;
    // A device read through the cache fails whole cached blocks of several sectors: only
    // direct reads find the very sectors that fail.
    if (S_ISBLK(status.st_mode)) {
        if (const int error = small_.open(name, O_RDONLY | O_NONBLOCK, true))
            return error;
    }
    // Small reads near a failure must not pull read-ahead across the damaged place.
    posix_fadvise(small_.fd(), 0, 0, POSIX_FADV_RANDOM);
    // Block reads bypass the cache, so nothing stale comes from it and a failure covers
    // exactly the part that failed; where direct reads are not allowed, this second handle
    // reads ahead normally. A raw data track's user data sit inside its sectors, off any
    // boundary a direct read needs.
    if (const int error = blocks_.open(name, O_RDONLY | O_NONBLOCK, !track_))
        return error;
    if (!blocks_.isDirect())
        posix_fadvise(blocks_.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    if (!refreshSize())
        return errno;

    slots_.resize(kSlots);
    for (Slot& slot : slots_) {
        slot.memory = allocateAligned(slotBytes_, kAlign);
        if (!slot.memory)
            return ENOMEM;
        free_.push_back(&slot);
    }
    return 0;
}

bool BlockReader::next(Chunk& chunk) {
    std::unique_lock lock(mutex_);
    if (!thread_.joinable() && !finished_ && !slots_.empty())
        thread_ = std::thread([this] { readAhead(); });
    if (handedOut_) {
        free_.push_back(handedOut_);
        handedOut_ = nullptr;
    }
    waiting_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !ready_.empty() || finished_ || slots_.empty(); });
    waiting_ = false;
    if (ready_.empty())
        return false;
    const Entry entry = ready_.front();
    ready_.pop_front();
    handedOut_ = entry.slot;
    chunk = entry.chunk;
    changed_.notify_all();
    return true;
}

void BlockReader::stop() {
    stopping_ = true;
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

bool BlockReader::holding() const {
    return options_.hold && options_.hold();
}

void BlockReader::readAhead() {
    while (!stopping_.load() && pos_ < options_.until) {
        if (holding()) {
            // Reading ahead waits; a job that asks for its next chunk all the same gets what
            // is collected, or the next read.
            std::unique_lock lock(mutex_);
            if (!waiting_) {
                changed_.wait_for(lock, kHoldWait);
                continue;
            }
            if (open_ && open_->chunk.length > 0) {
                lock.unlock();
                publish();
                continue;
            }
        }
        step();
    }
    publish();
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

BlockReader::Slot* BlockReader::acquire() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty() || stopping_.load(); });
    if (stopping_.load())
        return nullptr;
    Slot* slot = free_.front();
    free_.pop_front();
    slot->chunk = {};
    return slot;
}

void BlockReader::publish() {
    if (!open_)
        return;
    std::lock_guard lock(mutex_);
    if (open_->chunk.length > 0)
        ready_.push_back({open_->chunk, open_});
    else
        free_.push_front(open_);
    open_ = nullptr;
    changed_.notify_all();
}

std::uint8_t* BlockReader::room(std::uint64_t length) {
    if (open_) {
        std::uint8_t* const base = open_->memory.get();
        std::uint8_t* const at =
            open_->chunk.length == 0
                ? base
                : const_cast<std::uint8_t*>(open_->chunk.data) + open_->chunk.length;
        const auto used = static_cast<std::uint64_t>(at - base);
        // Direct reads (of a device) want aligned memory: a run that ends off the boundary
        // goes to the job first.
        if (used + length <= slotBytes_ && (!small_.isDirect() || used % kAlign == 0))
            return at;
    }
    publish();
    open_ = acquire();
    return open_ ? open_->memory.get() : nullptr;
}

bool BlockReader::lostMedium(int fd, int error) {
    if (!mediumGone(fd, error))
        return false;
    lost_ = error;
    stop();
    return true;
}

bool BlockReader::refreshSize() {
    const off_t end = lseek(small_.fd(), 0, SEEK_END);
    if (end < 0)
        return false;
    size_ = static_cast<std::uint64_t>(end);
    if (track_)
        size_ = track_->volumeBytesHeld(size_);
    return true;
}

// The end of the grid: the end of the last unit that starts before `until`.
std::uint64_t BlockReader::gridEnd() const {
    const std::uint64_t unit = options_.unit;
    return pos_ + (options_.until - pos_ + unit - 1) / unit * unit;
}

// The end of the whole units among the `bytes` read from pos on (the source's last, short
// unit counts as whole), never past the grid.
std::uint64_t BlockReader::unitsEnd(std::uint64_t bytes) const {
    const std::uint64_t end =
        pos_ + bytes >= size_ ? size_ : pos_ + bytes / options_.unit * options_.unit;
    return std::min(end, gridEnd());
}

BlockReader::Outcome BlockReader::read(TransferFile& file, std::uint8_t* into, std::uint64_t length,
                                       std::uint64_t offset) {
    ++reads_;
    const TransferResult got = readSource(file, into, length, offset);
    if (got.error != 0 && lostMedium(file.fd(), got.error))
        return {0, false, true};
    // A short read before the known end: the source may have shrunk or grown since.
    if (got.error == 0 && got.bytes < length && offset + got.bytes < size_)
        refreshSize();
    const bool ok = got.error == 0 && (got.bytes == length || offset + got.bytes >= size_);
    if (!ok)
        ++failedReads_;
    return {got.bytes, ok, false};
}

TransferResult BlockReader::readSource(TransferFile& file, std::uint8_t* into, std::uint64_t length,
                                       std::uint64_t offset) {
    if (!track_)
        return file.readOnce(into, length, offset);
    // The track's volume ends as a file does: a read reaching past it comes back short.
    const std::uint64_t bytes = offset < size_ ? std::min(length, size_ - offset) : 0;
    if (bytes > 0 && !track_->read(file.fd(), offset, into, bytes))
        return {0, errno};
    return {bytes, 0};
}

void BlockReader::collect(const std::uint8_t* data, std::uint64_t bytes) {
    const std::uint64_t end = unitsEnd(bytes);
    if (end <= pos_)
        return;
    // The run grows where the last read ended: pos and the end of the collected bytes move
    // together.
    if (open_->chunk.length == 0)
        open_->chunk = {pos_, end - pos_, false, data};
    else
        open_->chunk.length += end - pos_;
    pos_ = end;
}

void BlockReader::fail() {
    publish();
    {
        std::unique_lock lock(mutex_);
        // A long damaged area costs no buffer; still, the reader keeps within a bounded
        // distance of a job that writes slowly.
        changed_.wait(lock, [this] { return ready_.size() < kMaxReady || stopping_.load(); });
        Chunk failed{pos_, 0, true, nullptr};
        failed.failedEnd = pos_ + options_.unit;
        failed.resumeAt = pos_ + options_.afterFailure;
        ready_.push_back({failed, nullptr});
        changed_.notify_all();
    }
    pos_ += options_.afterFailure;
    // Nothing before pos is known to read well now; look at the next unit first, as the
    // step-by-step loop does.
    goodFrom_ = pos_;
    probe_ = options_.unit;
    suspectEnd_ = 0;
    unitsUntil_ = 0;
}

BlockReader::Outcome BlockReader::readAt(std::uint64_t offset, std::uint64_t length,
                                         std::uint8_t* into) {
    if (offset >= size_ && !refreshSize())
        return {0, false, lostMedium(small_.fd(), errno)};
    return read(small_, into, length, offset);
}

void BlockReader::skipOver(std::uint64_t end) {
    publish();
    const std::uint64_t grid = gridEnd();
    end = std::clamp(end, pos_ + options_.unit, grid);
    // The next read starts on a boundary a direct read can take, on the job's grid.
    std::uint64_t resume = std::min(alignUp(end + skip_), grid);
    const std::uint64_t unit = options_.unit;
    resume = std::min(options_.from + (resume - options_.from + unit - 1) / unit * unit, grid);
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return ready_.size() < kMaxReady || stopping_.load(); });
        Chunk failed{pos_, 0, true, nullptr};
        failed.failedEnd = end;
        failed.resumeAt = resume;
        ready_.push_back({failed, nullptr});
        changed_.notify_all();
    }
    skip_ = std::min(skip_ * 2, kSkipMost);
    block_ = blockAfterFailure_;
    pos_ = goodFrom_ = resume;
    probe_ = 0;
    suspectEnd_ = unitsUntil_ = 0;
}

void BlockReader::step() {
    const bool known = pos_ < size_ || refreshSize();
    if (!known && lostMedium(small_.fd(), errno))
        return;
    if (!known || pos_ >= size_) {
        // The source ended before the job's end (it shrank since the job took its size): the
        // missing units cannot be read. Without this the job would never reach its end.
        fail();
        return;
    }
    if (probe_ == 0)
        blockRead();
    else
        probeRead();
}

void BlockReader::blockRead() {
    // Direct reads start on an aligned offset; the bytes between it and pos were read just
    // before, so reading them again cannot fail where the job did not.
    const bool aligned = blocks_.isDirect();
    const std::uint64_t start = aligned ? alignDown(pos_) : pos_;
    if (aligned && start < goodFrom_ && start != pos_) {
        probe_ = searchCap_; // reach the next aligned offset by a probe
        probeRead();
        return;
    }
    const std::uint64_t end = std::min(start + block_, aligned ? alignUp(gridEnd()) : gridEnd());
    publish();
    open_ = acquire();
    if (!open_)
        return;
    std::uint8_t* memory = open_->memory.get();
    const Outcome got = read(blocks_, memory, end - start, start);
    if (got.lost)
        return;
    const std::uint64_t skip = pos_ - start;
    collect(memory + skip, got.bytes > skip ? got.bytes - skip : 0);
    // A block goes to the job at once, so that it is written while the next one is read.
    publish();
    if (got.ok) {
        skip_ = std::max(skip_ / 2, kSkipFirst);
        return;
    }
    if (options_.skipping) {
        skipOver(end);
        return;
    }
    // A failure somewhere in the rest of the block: search it from pos.
    probe_ = options_.unit;
    suspectEnd_ = end;
    // A read that came back short stopped at the place that failed: look there unit by unit
    // first.
    unitsUntil_ = got.bytes > skip ? start + got.bytes + searchCap_ : 0;
}

void BlockReader::probeRead() {
    const std::uint64_t unit = options_.unit;
    std::uint64_t length = pos_ < unitsUntil_ ? unit : probe_;
    if (pos_ < suspectEnd_)
        length = std::min(length, searchCap_);
    length = std::min(length, gridEnd() - pos_);
    std::uint8_t* memory = room(length);
    if (!memory)
        return;
    const Outcome got = read(small_, memory, length, pos_);
    if (got.lost)
        return;
    const std::uint64_t from = pos_;
    if (got.ok) {
        collect(memory, got.bytes);
        if (pos_ >= suspectEnd_)
            suspectEnd_ = 0;
        if (pos_ >= unitsUntil_) {
            unitsUntil_ = 0;
            probe_ = std::min(probe_ * 2, probeCap_);
            if (probe_ >= kBackToBlocks && suspectEnd_ == 0)
                probe_ = 0;
        }
        return;
    }
    if (options_.skipping) {
        collect(memory, got.bytes);
        skipOver(from + length);
        return;
    }
    if (length <= unit) {
        fail();
        return;
    }
    // Several units and one of them failed: keep what came, then look at the rest of the
    // probe unit by unit; the first unit that fails is the unreadable place.
    collect(memory, got.bytes);
    unitsUntil_ = from + length;
    suspectEnd_ = std::max(suspectEnd_, unitsUntil_);
    probe_ = unit;
}

} // namespace fr
