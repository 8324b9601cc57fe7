#include "disk/ImageJob.h"

#include "core/BackgroundCommit.h"
#include "core/JobSignals.h"
#include "core/LiveJob.h"
#include "core/PostReport.h"
#include "disk/RescuePasses.h"
#include "platform/DestinationLock.h"
#include "platform/Platform.h"
#include "platform/Transfer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <system_error>

namespace fr {

namespace {

constexpr auto kPauseWait = std::chrono::milliseconds(20);
constexpr auto kProgressInterval = std::chrono::milliseconds(50);
constexpr auto kMapInterval = std::chrono::milliseconds(250);

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

bool ImageWorker::checkpointDue() const {
    return setup_.live && setup_.live->due();
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

void ImageWorker::stopCommits() {
    commits_.reset();
}

int ImageWorker::checkpointPasses(int destination, std::uint64_t position, QString* failure) {
    BackgroundCommit* commits = commitsTo(destination);
    if (!commits)
        return 0;
    return failureOf(commits->finishMap(lastMap_, position), failure);
}

void ImageWorker::reportProgress(std::uint64_t position, bool last, const RescuePasses* passes) {
    if (setup_.end == 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - lastProgress_ < kProgressInterval)
        return;
    if (hooks_.mapped && (passes || last) && (last || now - lastMapped_ >= kMapInterval)) {
        lastMapped_ = now;
        const RescueMap map = passes ? mapOf(*passes) : lastMap_;
        const bool damaged = passes && passes->damagedArea();
        post([hook = hooks_.mapped, map, damaged] { hook(map, damaged); });
    }
    if (!hooks_.progress)
        return;
    // The share of the medium that is settled: read, or written as zeros.
    const double done = passes ? static_cast<double>(passes->settledBytes()) /
                                     static_cast<double>(setup_.bytesPerSector)
                               : static_cast<double>(position);
    const int percent = std::min(100, static_cast<int>(std::llround(done / setup_.end * 100.0)));
    if (percent == lastPercent_ && position == lastPosition_)
        return;
    lastProgress_ = now;
    lastPercent_ = percent;
    lastPosition_ = position;
    post([hook = hooks_.progress, percent, position] { hook(percent, position); });
}

// The sink of an image job's passes: writes through the job's writer, and between reads does
// what the job's loop does between groups.
class ImageWorker::Passes : public RescueSink {
public:
    Passes(ImageWorker& worker, int destination, const SectorWriter& write, ImageOutcome& outcome)
        : w_(worker), destination_(destination), write_(write), outcome_(outcome),
          zeros_(std::max<std::uint64_t>(worker.setup_.bytesPerSector, 1), 0),
          lowPriority_(worker.setup_.jobSignals->lowPriority.load()) {}

    int readable(std::uint64_t offset, const std::uint8_t* data, std::uint64_t length) override {
        const int error = write_(offset, data, length);
        if (BackgroundCommit* commits = w_.commitsTo(destination_); commits && error == 0)
            commits->wrote(length);
        return error;
    }
    int unreadable(std::uint64_t offset, std::uint64_t length) override {
        outcome_.readFailed = true;
        w_.noteUnreadable(outcome_, offset, length);
        for (std::uint64_t done = 0; done < length;) {
            const std::uint64_t bytes = std::min<std::uint64_t>(zeros_.size(), length - done);
            if (const int error = write_(offset + done, zeros_.data(), bytes))
                return error;
            done += bytes;
        }
        return 0;
    }
    int between(const RescuePasses& passes) override {
        const JobSignals& flags = *w_.setup_.jobSignals;
        for (;;) {
            // The priority follows the box only when it changes during the job.
            const bool wanted = flags.lowPriority.load();
            if (wanted != lowPriority_) {
                w_.setup_.platform.setIdlePriority(wanted);
                lowPriority_ = wanted;
            }
            if (!w_.waitWhilePaused() || stopping())
                break;
        }
        w_.reads_ = passes.reads();
        w_.failedReads_ = passes.failedReads();
        w_.pass_ = passes.pass();
        const std::uint64_t position = passes.position() / w_.setup_.bytesPerSector;
        if (w_.checkpointDue()) {
            if (BackgroundCommit* commits = w_.commitsTo(destination_)) {
                commits->offerMap(w_.mapOf(passes), position);
                if (const int error = failureOf(commits->failure(), &commitFailure))
                    return error;
            }
        }
        w_.reportProgress(position, false, &passes);
        return 0;
    }
    bool stopping() const override { return w_.setup_.jobSignals->stopRequested.load(); }

    QString commitFailure;

private:
    ImageWorker& w_;
    const int destination_;
    const SectorWriter& write_;
    ImageOutcome& outcome_;
    const std::vector<std::uint8_t> zeros_;
    bool lowPriority_;
};

RescueMap ImageWorker::mapOf(const RescuePasses& passes) const {
    return passes.map(setup_.live ? setup_.live->earlier() : RescueMap{});
}

int ImageWorker::readGoodDataFirst(const QString& source, BlockReader::Options reading,
                                   int destination, const SectorWriter& write,
                                   ImageOutcome& outcome, QString* failure, bool* sourceFailed) {
    const std::uint64_t sector = setup_.bytesPerSector;
    const std::uint64_t from = std::min(setup_.position, setup_.end);
    const ByteRange rest{static_cast<std::int64_t>(from * sector),
                         static_cast<std::int64_t>(std::uint64_t(setup_.end) * sector)};
    // What is left: the rest of the medium from the position, where the sectors the job's
    // earlier runs read are passed over; of a map the user named, only its pending areas, each
    // widened to whole sectors (a map written in another unit has a sector handled again, never
    // half of it).
    std::vector<ByteRange> areas;
    AreaList readBefore;
    if (setup_.live && setup_.live->earlierNamedByUser()) {
        AreaList sectors;
        for (const ByteRange& area : setup_.live->earlier().pending()) {
            const ByteRange left = area.intersection(rest);
            if (left.empty())
                continue;
            const auto first = static_cast<std::uint64_t>(left.start) / sector * sector;
            const auto last = (static_cast<std::uint64_t>(left.end) + sector - 1) / sector * sector;
            sectors.add({static_cast<std::int64_t>(first), static_cast<std::int64_t>(last)});
        }
        areas = sectors.areas();
    } else if (!rest.empty()) {
        areas.push_back(rest);
        if (setup_.live) {
            for (const ByteRange& read : setup_.live->earlier().pending().gapsIn(rest)) {
                const auto first = (static_cast<std::uint64_t>(read.start) + sector - 1) / sector;
                const auto last = static_cast<std::uint64_t>(read.end) / sector;
                if (first < last)
                    readBefore.add({static_cast<std::int64_t>(first * sector),
                                    static_cast<std::int64_t>(last * sector)});
            }
        }
    }
    const std::uint64_t firstSector =
        areas.empty() ? std::max<std::uint64_t>(from, setup_.end)
                      : static_cast<std::uint64_t>(areas.front().start) / sector;

    RescuePasses::Setup plan;
    plan.path = source;
    plan.reading = std::move(reading);
    plan.reading.unit = sector;
    plan.reading.afterFailure = sector;
    // A paused or stopping job reads nothing more from a medium that may be dying.
    plan.reading.hold = [jobSignals = setup_.jobSignals] {
        return jobSignals->paused.load() || jobSignals->stopRequested.load();
    };
    plan.total = std::uint64_t(setup_.end) * sector;
    plan.areas = std::move(areas);
    plan.order = setup_.order;
    Passes sink(*this, destination, write, outcome);
    RescuePasses passes(std::move(plan), sink);
    outcome.position = firstSector;
    if (const int error = passes.open()) {
        // A medium already gone ends the job as a stop, where it stood.
        outcome.mediumGone = saysMediumGone(error);
        *sourceFailed = !outcome.mediumGone;
        return outcome.mediumGone ? 0 : error;
    }
    passes.seedRead(readBefore);
    // A job paused before it began reads nothing until it goes on.
    while (setup_.jobSignals->paused.load() && !sink.stopping())
        waitWhilePaused();
    int error = sink.stopping() ? 0 : passes.run();
    reads_ = passes.reads();
    failedReads_ = passes.failedReads();
    pass_ = passes.pass();
    outcome.mediumGone = outcome.mediumGone || passes.mediumGone();
    outcome.position = std::min<std::uint64_t>(passes.position() / sector, setup_.end);
    lastMap_ = mapOf(passes);
    if (!sink.commitFailure.isEmpty())
        *failure = sink.commitFailure;
    return error;
}

} // namespace fr
