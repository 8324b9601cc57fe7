#include "disk/ImageJob.h"

#include "core/BackgroundCommit.h"
#include "core/JobSignals.h"
#include "core/LiveJob.h"
#include "core/PostReport.h"
#include "platform/DestinationLock.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <system_error>

namespace fr {

namespace {

constexpr auto kPauseWait = std::chrono::milliseconds(20);
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

} // namespace

QString imageFailure(const QString& file, int error) {
    return file + QStringLiteral(": ") +
           QString::fromStdString(std::generic_category().message(error));
}

QString destinationFailure(const QString& file, int error) {
    return error == EWOULDBLOCK ? file + QStringLiteral(": ") + destinationInUseReason()
                                : imageFailure(file, error);
}

ImageWorker::ImageWorker(ImageSetup setup, ImageHooks hooks)
    : setup_(std::move(setup)), hooks_(std::move(hooks)) {}

ImageWorker::~ImageWorker() {
    wait();
}

void ImageWorker::start() {
    wait();
    thread_ = std::thread([this] { run(); });
}

void ImageWorker::stop() {
    setup_.jobSignals->stopRequested = true;
}

void ImageWorker::wait() {
    if (thread_.joinable())
        thread_.join();
}

void ImageWorker::post(std::function<void()> work) const {
    postReport(hooks_.post, std::move(work));
}

ImageOutcome ImageWorker::run() {
    const ImageOutcome outcome = transfer();
    if (hooks_.ended)
        post([hook = hooks_.ended, outcome] { hook(outcome); });
    return outcome;
}

bool ImageWorker::waitWhilePaused() const {
    if (!setup_.jobSignals->paused.load())
        return false;
    std::this_thread::sleep_for(kPauseWait);
    return true;
}

void ImageWorker::noteUnreadable(ImageOutcome& outcome, std::uint64_t offset, std::uint64_t bytes) {
    outcome.unreadableAreas.add(
        {static_cast<std::int64_t>(offset), static_cast<std::int64_t>(offset + bytes)});
    unreadableBytes_ += bytes;
}

std::uint64_t ImageWorker::planAreas() {
    const std::uint64_t sector = setup_.bytesPerSector;
    const std::uint64_t from = std::min(setup_.position, setup_.end);
    std::vector<SectorRange>& areas = areas_;
    areas.clear();
    nextArea_ = 0;
    if (!setup_.live) {
        if (from < setup_.end)
            areas.push_back({from, setup_.end});
    } else {
        const ByteRange rest{static_cast<std::int64_t>(from * sector),
                             static_cast<std::int64_t>(std::uint64_t(setup_.end) * sector)};
        // Counted in sectors: a map that ends its areas inside a sector (one written in
        // another unit) has the whole sector handled again, never half of it.
        AreaList sectors;
        for (const ByteRange& area : setup_.live->earlier().pending()) {
            const ByteRange left = area.intersection(rest);
            if (left.empty())
                continue;
            const auto first = static_cast<std::uint64_t>(left.start) / sector;
            const auto last = (static_cast<std::uint64_t>(left.end) + sector - 1) / sector;
            sectors.add({static_cast<std::int64_t>(first), static_cast<std::int64_t>(last)});
        }
        for (const ByteRange& area : sectors)
            areas.push_back(
                {static_cast<std::uint64_t>(area.start), static_cast<std::uint64_t>(area.end)});
    }
    // With nothing left to handle, the job is at its end.
    firstSector_ = areas.empty() ? std::max<std::uint64_t>(from, setup_.end) : areas.front().start;
    return areas.empty() ? setup_.end : firstSector_;
}

int ImageWorker::enterNextArea(std::unique_ptr<BlockReader>& reader, const QString& path,
                               BlockReader::Options options, std::uint64_t& pos,
                               std::uint64_t& areaEnd) {
    const SectorRange area = areas_.at(nextArea_);
    if (reader) {
        reader->stop();
        readsBefore_ += reader->reads();
        failedReadsBefore_ += reader->failedReads();
    }
    reader = std::make_unique<BlockReader>();
    const std::uint64_t sector = setup_.bytesPerSector;
    options.unit = kImageGroupSectors * sector;
    options.afterFailure = options.unit; // the next group follows an unreadable one
    options.from = area.start * sector;
    options.until = area.end * sector;
    // A paused or stopping job reads nothing more from a medium that may be dying.
    options.hold = [jobSignals = setup_.jobSignals] {
        return jobSignals->paused.load() || jobSignals->stopRequested.load();
    };
    if (const int error = reader->open(path, options))
        return error;
    pos = area.start;
    areaEnd = area.end;
    ++nextArea_;
    return 0;
}

void ImageWorker::countReads(const BlockReader& reader) {
    reads_ = readsBefore_ + reader.reads();
    failedReads_ = failedReadsBefore_ + reader.failedReads();
}

bool ImageWorker::checkpointDue() const {
    return setup_.live && setup_.live->due();
}

ByteRange ImageWorker::handledBytes(std::uint64_t position) const {
    const std::uint64_t sector = setup_.bytesPerSector;
    const std::uint64_t first = std::min(firstSector_, position);
    return {static_cast<std::int64_t>(first * sector),
            static_cast<std::int64_t>(position * sector)};
}

int ImageWorker::failureOf(const BackgroundCommit::Failure& failure, QString* text) {
    if (!failure.failed())
        return 0;
    *text = failure.commitError;
    return failure.syncError != 0 ? failure.syncError : EIO;
}

BackgroundCommit* ImageWorker::commitsTo(int destination) {
    if (!setup_.live || destination < 0)
        return nullptr;
    if (!commits_)
        commits_ = std::make_unique<BackgroundCommit>(*setup_.live, destination);
    return commits_.get();
}

int ImageWorker::handOver(int destination, std::uint64_t position, const AreaList& unreadable,
                          QString* failure) {
    BackgroundCommit* commits = commitsTo(destination);
    if (!commits)
        return 0;
    commits->offer(handledBytes(position), unreadable, static_cast<std::uint32_t>(position));
    return failureOf(commits->failure(), failure);
}

int ImageWorker::checkpoint(int destination, std::uint64_t position, const AreaList& unreadable,
                            QString* failure) {
    BackgroundCommit* commits = commitsTo(destination);
    if (!commits)
        return 0;
    return failureOf(
        commits->finish(handledBytes(position), unreadable, static_cast<std::uint32_t>(position)),
        failure);
}

void ImageWorker::stopCommits() {
    commits_.reset();
}

void ImageWorker::reportProgress(std::uint32_t position, bool last) {
    if (setup_.end == 0 || !hooks_.progress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - lastProgress_ < kProgressInterval)
        return;
    const int percent = std::min(
        100, static_cast<int>(std::llround(static_cast<double>(position) / setup_.end * 100.0)));
    if (percent == lastPercent_ && position == lastPosition_)
        return;
    lastProgress_ = now;
    lastPercent_ = percent;
    lastPosition_ = position;
    post([hook = hooks_.progress, percent, position] { hook(percent, position); });
}

} // namespace fr
