#include "disk/ClusterRunReader.h"

#include <algorithm>

namespace fr {

ClusterRunReader::ClusterRunReader(std::uint32_t groupBytes, std::uint64_t groupCount)
    : groupBytes_(std::max<std::uint32_t>(groupBytes, 1)), groupCount_(groupCount),
      groupsPerRun_(std::max<std::uint64_t>(1, kRunBytes / groupBytes_)),
      groupsPerPiece_(std::clamp<std::uint64_t>(kPieceBytes / groupBytes_, 1, groupsPerRun_)),
      runCount_((groupCount + groupsPerRun_ - 1) / groupsPerRun_) {}

ClusterRunReader::~ClusterRunReader() {
    stopReaders();
}

void ClusterRunReader::stopReaders() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
    }
    changed_.notify_all();
    for (const std::unique_ptr<Reader>& reader : readers_)
        if (reader->thread.joinable())
            reader->thread.join();
    readers_.clear();
}

QString ClusterRunReader::open(const QString& device) {
    stopReaders();
    QString error;
    if (!device_.open(device, SectorDevice::Mode::Read, &error))
        return error;
    // Aligned, so that direct reads need no bounce copy.
    const std::uint64_t runBytes = groupsPerRun_ * groupBytes_;
    buffer_ = allocateAligned(groupsPerPiece_ * groupBytes_);
    if (!buffer_)
        return device + QStringLiteral(": not enough memory for the test");

    runs_.assign(runCount_, Run::Unread);
    piece_ = UINT64_MAX;
    nextRun_ = 0;
    callerRun_ = 0;
    quit_ = false;
    for (int i = 0; i < kReadersAhead && std::uint64_t(i) < runCount_; ++i) {
        auto reader = std::make_unique<Reader>();
        if (!reader->device.open(device, SectorDevice::Mode::Read, &error))
            return error;
        reader->buffer = allocateAligned(runBytes);
        if (!reader->buffer)
            return device + QStringLiteral(": not enough memory for the test");
        readers_.push_back(std::move(reader));
    }
    for (const std::unique_ptr<Reader>& reader : readers_)
        reader->thread = std::thread([this, r = reader.get()] { readAhead(*r); });
    return {};
}

bool ClusterRunReader::read(SectorDevice& device, std::uint8_t* buffer, std::uint64_t firstGroup,
                            std::uint64_t groups) {
    ++reads_;
    const bool ok = device.readAt(firstGroup * groupBytes_, buffer, groups * groupBytes_);
    if (!ok)
        ++failedReads_;
    return ok;
}

void ClusterRunReader::readAhead(Reader& reader) {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        // Never further ahead of the caller than the readers together read at once.
        changed_.wait(guard, [this] {
            return quit_ || nextRun_ >= runCount_ || nextRun_ < callerRun_ + kReadersAhead;
        });
        if (quit_ || nextRun_ >= runCount_)
            return;
        const std::uint64_t run = nextRun_++;
        guard.unlock();
        const std::uint64_t first = run * groupsPerRun_;
        const std::uint64_t groups = std::min(groupsPerRun_, groupCount_ - first);
        const bool ok = read(reader.device, reader.buffer.get(), first, groups);
        guard.lock();
        runs_[run] = ok ? Run::Readable : Run::Failed;
        changed_.notify_all();
    }
}

ClusterRunReader::Run ClusterRunReader::waitForRun(std::uint64_t run) {
    std::unique_lock<std::mutex> guard(lock_);
    if (callerRun_ != run) {
        callerRun_ = run;
        changed_.notify_all();
    }
    changed_.wait(guard, [this, run] { return runs_[run] != Run::Unread; });
    return runs_[run];
}

bool ClusterRunReader::readable(std::uint64_t group) {
    if (group >= groupCount_ || readers_.empty())
        return read(device_, buffer_.get(), group, 1);
    const std::uint64_t run = group / groupsPerRun_;
    if (waitForRun(run) == Run::Readable)
        return true;
    // Somewhere in this run a sector fails. Pieces of the run narrow it down; only the group's
    // own read can say whether it is this group's. Pieces start on the run's own grid, so a
    // piece never reaches into the next run.
    const std::uint64_t runStart = run * groupsPerRun_;
    const std::uint64_t runEnd = std::min(runStart + groupsPerRun_, groupCount_);
    const std::uint64_t piece = runStart + (group - runStart) / groupsPerPiece_ * groupsPerPiece_;
    const std::uint64_t pieceGroups = std::min(groupsPerPiece_, runEnd - piece);
    if (pieceGroups < runEnd - runStart && piece != piece_) {
        piece_ = piece;
        pieceReadable_ = read(device_, buffer_.get(), piece, pieceGroups);
    } else if (pieceGroups == runEnd - runStart) {
        piece_ = piece;
        pieceReadable_ = false; // the whole run, which has failed
    }
    if (pieceReadable_)
        return true;
    if (pieceGroups == 1)
        return false;
    return read(device_, buffer_.get(), group, 1);
}

} // namespace fr
