#include "disk/GroupSweep.h"

#include "disk/CdDisc.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fr {

namespace {

// One read asks for at most this many bytes, and never more than the device takes in one
// request: a read the kernel splits into several requests may fail each of them. A large read
// of more is several reads, and so is a group bigger than this (the first that fails is the
// group's one failed read).
constexpr std::uint64_t kPieceBytes = 1 << 20;
constexpr std::uint64_t kPageBytes = 4096;
// Large reads on a healthy stretch cover at least this many bytes (whole windows).
constexpr std::uint64_t kLargeBytes = 1 << 20;
// Verdicts waiting for the test, at most, in large reads.
constexpr std::uint64_t kLargeReadsAhead = 4;

// A number from a file of the kernel's device attributes; 0 when there is none.
std::uint64_t attribute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().toULongLong();
}

// The bytes one request of the block device `device` surely takes whole: its largest request,
// and its most segments in pages of memory that may lie apart. A partition's limits are its
// disk's. A power of two, so that reads stay on the grid of direct reads.
std::uint64_t requestBytes(dev_t device) {
    const QString node =
        QStringLiteral("/sys/dev/block/%1:%2/").arg(major(device)).arg(minor(device));
    QString queue = node + QStringLiteral("queue/");
    if (!QFile::exists(queue))
        queue = node + QStringLiteral("../queue/");
    std::uint64_t bytes = kPieceBytes;
    if (const std::uint64_t kib = attribute(queue + QStringLiteral("max_sectors_kb")))
        bytes = std::min(bytes, kib * 1024);
    if (const std::uint64_t segments = attribute(queue + QStringLiteral("max_segments")))
        bytes = std::min(bytes, segments * kPageBytes);
    std::uint64_t power = kPageBytes;
    while (power * 2 <= bytes)
        power *= 2;
    return power;
}

} // namespace

GroupSweep::~GroupSweep() {
    stop();
    if (thread_.joinable())
        thread_.join();
}

int GroupSweep::open(const QString& path, std::uint64_t groupBytes, std::uint64_t volumeBytes) {
    groupBytes_ = std::max<std::uint64_t>(groupBytes, 1);
    volumeBytes_ = volumeBytes;
    groups_ = (volumeBytes + groupBytes_ - 1) / groupBytes_;
    const std::uint64_t windowBytes = kWindowGroups * groupBytes_;
    maxLargeGroups_ = kWindowGroups * std::max<std::uint64_t>(kLargeBytes / windowBytes, 1);
    largeGroups_ = maxLargeGroups_;

    track_ = RawDataTrack::of(path);
    const QByteArray name = QFile::encodeName(CdDisc::dataTrackSource(path));
    // Opened without waiting for a writer: a pipe that took a medium's name is refused below.
    if (const int error = file_.open(name, O_RDONLY | O_NONBLOCK, false))
        return error;
    struct stat status {};
    if (fstat(file_.fd(), &status) != 0)
        return errno;
    if (S_ISDIR(status.st_mode))
        return EISDIR;
    if (!S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode))
        return EINVAL;
    pieceBytes_ = S_ISBLK(status.st_mode) ? requestBytes(status.st_rdev) : kPieceBytes;
    // Direct reads: a device read through the cache fails whole cached blocks of several
    // sectors, and its read-ahead would try damaged places the test never asked for. A raw
    // data track's user data sit inside its sectors, off any boundary a direct read needs.
    if (!track_) {
        if (const int error = file_.open(name, O_RDONLY | O_NONBLOCK, true))
            return error;
    }
    if (!file_.isDirect())
        posix_fadvise(file_.fd(), 0, 0, POSIX_FADV_RANDOM);
    if (!refreshSize())
        return errno;
    buffer_ = allocateAligned(kPieceBytes, TransferFile::kDirectAlignment);
    return buffer_ ? 0 : ENOMEM;
}

bool GroupSweep::next(Run& run) {
    std::unique_lock lock(mutex_);
    if (!thread_.joinable() && !finished_ && buffer_)
        thread_ = std::thread([this] { sweep(); });
    changed_.wait(lock, [this] { return !ready_.empty() || finished_ || !buffer_; });
    if (ready_.empty())
        return false;
    run = ready_.front();
    ready_.pop_front();
    readyGroups_ -= run.count;
    changed_.notify_all();
    return true;
}

void GroupSweep::stop() {
    stopping_ = true;
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

void GroupSweep::sweep() {
    while (!stopping_.load() && next_ < groups_) {
        if (singles_)
            singleRead();
        else
            largeRead();
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

void GroupSweep::largeRead() {
    const std::uint64_t first = next_;
    const std::uint64_t count = std::min(largeGroups_, groups_ - first);
    const Outcome got = readGroups(first, count);
    deliver(first, got.readableGroups, true);
    next_ = first + got.readableGroups;
    if (got.lost)
        return;
    if (got.sourceEnded) {
        endedAt(next_);
        return;
    }
    if (got.readableGroups == count) {
        largeGroups_ = std::min(largeGroups_ * 2, maxLargeGroups_);
        return;
    }
    // Somewhere in the rest of this read lies a group that cannot be read: each group gets a
    // read of its own, so that only the damaged ones fail.
    singles_ = true;
    singlesEnd_ = first + count;
    failedEnd_ = first + got.failedEnd;
    metDamage_ = false;
    readableSince_ = next_;
    largeGroups_ = kWindowGroups;
}

void GroupSweep::singleRead() {
    const std::uint64_t group = next_;
    // The failed large read covered the groups from the first it did not deliver up to this
    // one: when all the others read well alone, the failure was this group's, and it needs no
    // failed read of its own.
    const bool failureIsThisGroups = group + 1 == failedEnd_ && !metDamage_;
    const Outcome got = failureIsThisGroups ? Outcome{} : readGroups(group, 1);
    if (got.lost)
        return;
    if (got.readableGroups == 1) {
        deliver(group, 1, true);
        next_ = group + 1;
        // Large reads again on a window boundary, once a whole window after the damage has
        // read well (or past the failed read, if its damage has healed since): damage seldom
        // comes alone, and any further on lies in a window and a stretch of its own, so a
        // failed large read there costs no more than it would have anyway.
        const bool pastDamage =
            metDamage_ ? next_ - readableSince_ >= kWindowGroups : next_ >= singlesEnd_;
        if (next_ % kWindowGroups == 0 && pastDamage)
            singles_ = false;
        return;
    }
    if (got.sourceEnded) {
        endedAt(group);
        return;
    }
    deliver(group, 1, false);
    next_ = group + 1;
    metDamage_ = true;
    readableSince_ = next_;
}

GroupSweep::Outcome GroupSweep::readGroups(std::uint64_t first, std::uint64_t count) {
    const std::uint64_t start = first * groupBytes_;
    const std::uint64_t end = std::min((first + count) * groupBytes_, volumeBytes_);
    std::uint64_t at = start;
    while (at < end) {
        const std::uint64_t length = std::min(pieceBytes_, end - at);
        ++reads_;
        const TransferResult got = readSource(length, at);
        if (got.error != 0 && mediumGone(file_.fd(), got.error)) {
            lost_ = got.error;
            stop();
            return {(at - start) / groupBytes_, false, true};
        }
        const std::uint64_t bytes = std::min(got.bytes, length);
        const std::uint64_t pieceEnd = at + length;
        at += bytes;
        if (got.error == 0 && bytes == length)
            continue;
        ++failedReads_;
        // Short without an error: the source may have ended (shrunk under the test), or the
        // medium delivered what lay before a damaged place.
        bool ended = false;
        if (got.error == 0) {
            if (!refreshSize()) {
                const int error = errno;
                if (mediumGone(file_.fd(), error)) {
                    lost_ = error;
                    stop();
                    return {(at - start) / groupBytes_, false, true};
                }
            }
            ended = at >= sourceBytes_;
        }
        // `at` lies before the volume's end: the group holding it was not delivered whole.
        return {(at - start) / groupBytes_, ended, false,
                (pieceEnd - start + groupBytes_ - 1) / groupBytes_};
    }
    return {count, false, false};
}

TransferResult GroupSweep::readSource(std::uint64_t length, std::uint64_t offset) {
    if (!track_)
        return file_.readOnce(buffer_.get(), length, offset);
    // The track's volume ends as a file does: a read reaching past it comes back short.
    const std::uint64_t bytes = offset < sourceBytes_ ? std::min(length, sourceBytes_ - offset) : 0;
    if (bytes > 0 && !track_->read(file_.fd(), offset, buffer_.get(), bytes))
        return {0, errno};
    return {bytes, 0};
}

bool GroupSweep::refreshSize() {
    const off_t end = lseek(file_.fd(), 0, SEEK_END);
    if (end < 0)
        return false;
    sourceBytes_ = static_cast<std::uint64_t>(end);
    if (track_)
        sourceBytes_ = track_->volumeBytesHeld(sourceBytes_);
    return true;
}

void GroupSweep::deliver(std::uint64_t first, std::uint64_t count, bool readable) {
    if (count == 0)
        return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] {
        return readyGroups_ < kLargeReadsAhead * maxLargeGroups_ || stopping_.load();
    });
    if (!ready_.empty() && ready_.back().readable == readable &&
        ready_.back().first + ready_.back().count == first)
        ready_.back().count += count;
    else
        ready_.push_back({first, count, readable});
    readyGroups_ += count;
    changed_.notify_all();
}

void GroupSweep::endedAt(std::uint64_t first) {
    deliver(first, groups_ - first, false);
    next_ = groups_;
}

} // namespace fr
