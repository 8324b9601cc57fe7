#include "disk/BlockReader.h"

#include <QFile>
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
// Buffers between the reader and the job: one being written, the rest read ahead.
constexpr int kSlots = 4;
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
    block_ = std::max(kBlock, alignUp(unit + kAlign));
    searchCap_ = std::max<std::uint64_t>(kSearchCap / unit, 1) * unit;
    probeCap_ = std::max<std::uint64_t>(kBlock / unit, 1) * unit;
    pos_ = goodFrom_ = options_.from;

    const QByteArray name = QFile::encodeName(path);
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
    // reads ahead normally.
    if (const int error = blocks_.open(name, O_RDONLY | O_NONBLOCK, true))
        return error;
    if (!blocks_.isDirect())
        posix_fadvise(blocks_.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    if (!refreshSize())
        return errno;

    slots_.resize(kSlots);
    for (Slot& slot : slots_) {
        slot.memory = allocateAligned(block_ + kAlign, kAlign);
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
        changed_.notify_all();
    }
    waiting_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !ready_.empty() || finished_ || slots_.empty(); });
    waiting_ = false;
    if (ready_.empty())
        return false;
    handedOut_ = ready_.front();
    ready_.pop_front();
    chunk = handedOut_->chunk;
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
            // Reading ahead waits; a job that asks for its next chunk all the same gets it.
            std::unique_lock lock(mutex_);
            if (!waiting_) {
                changed_.wait_for(lock, kHoldWait);
                continue;
            }
        }
        Slot* slot = nullptr;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !free_.empty() || stopping_.load(); });
            if (stopping_.load())
                break;
            slot = free_.front();
            free_.pop_front();
        }
        slot->chunk = {};
        step(*slot);
        std::lock_guard lock(mutex_);
        if (slot->chunk.failed || slot->chunk.length > 0)
            ready_.push_back(slot);
        else
            free_.push_front(slot); // the step only narrowed the search
        changed_.notify_all();
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

bool BlockReader::refreshSize() {
    const off_t end = lseek(small_.fd(), 0, SEEK_END);
    if (end < 0)
        return false;
    size_ = static_cast<std::uint64_t>(end);
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
    const TransferResult got = file.readOnce(into, length, offset);
    // A short read before the known end: the source may have shrunk or grown since.
    if (got.error == 0 && got.bytes < length && offset + got.bytes < size_)
        refreshSize();
    const bool ok = got.error == 0 && (got.bytes == length || offset + got.bytes >= size_);
    if (!ok)
        ++failedReads_;
    return {got.bytes, ok};
}

void BlockReader::take(Slot& slot, const std::uint8_t* data, std::uint64_t bytes) {
    const std::uint64_t end = unitsEnd(bytes);
    if (end <= pos_)
        return;
    slot.chunk = {pos_, end - pos_, false, data};
    pos_ = end;
}

void BlockReader::fail(Slot& slot) {
    slot.chunk = {pos_, 0, true, nullptr};
    pos_ += options_.afterFailure;
    // Nothing before pos is known to read well now; look at the next unit first, as the
    // step-by-step loop does.
    goodFrom_ = pos_;
    probe_ = options_.unit;
    suspectEnd_ = 0;
    unitsUntil_ = 0;
}

void BlockReader::step(Slot& slot) {
    if (pos_ >= size_ && (!refreshSize() || pos_ >= size_)) {
        // The source ended before the job's end (it shrank since the job took its size): the
        // missing units cannot be read. Without this the job would never reach its end.
        fail(slot);
        return;
    }
    if (probe_ == 0)
        blockRead(slot);
    else
        probeRead(slot);
}

void BlockReader::blockRead(Slot& slot) {
    // Direct reads start on an aligned offset; the bytes between it and pos were read just
    // before, so reading them again cannot fail where the job did not.
    const bool aligned = blocks_.isDirect();
    const std::uint64_t start = aligned ? alignDown(pos_) : pos_;
    if (aligned && start < goodFrom_ && start != pos_) {
        probe_ = searchCap_; // reach the next aligned offset by a probe
        probeRead(slot);
        return;
    }
    const std::uint64_t end = std::min(start + block_, aligned ? alignUp(gridEnd()) : gridEnd());
    std::uint8_t* memory = slot.memory.get();
    const Outcome got = read(blocks_, memory, end - start, start);
    const std::uint64_t skip = pos_ - start;
    take(slot, memory + skip, got.bytes > skip ? got.bytes - skip : 0);
    if (got.ok)
        return;
    // A failure somewhere in the rest of the block: search it from pos.
    probe_ = options_.unit;
    suspectEnd_ = end;
    // A read that came back short stopped at the place that failed: look there unit by unit
    // first.
    unitsUntil_ = got.bytes > skip ? start + got.bytes + searchCap_ : 0;
}

void BlockReader::probeRead(Slot& slot) {
    const std::uint64_t unit = options_.unit;
    std::uint64_t length = pos_ < unitsUntil_ ? unit : probe_;
    if (pos_ < suspectEnd_)
        length = std::min(length, searchCap_);
    length = std::min(length, gridEnd() - pos_);
    std::uint8_t* memory = slot.memory.get();
    const Outcome got = read(small_, memory, length, pos_);
    const std::uint64_t from = pos_;
    if (got.ok) {
        take(slot, memory, got.bytes);
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
    if (length <= unit) {
        fail(slot);
        return;
    }
    // Several units and one of them failed: hand out what came, then look at the rest of the
    // probe unit by unit; the first unit that fails is the unreadable place.
    take(slot, memory, got.bytes);
    unitsUntil_ = from + length;
    suspectEnd_ = std::max(suspectEnd_, unitsUntil_);
    probe_ = unit;
}

} // namespace fr
