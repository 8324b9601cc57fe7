#include "disk/ImageJob.h"

#include "core/JobSignals.h"
#include "core/PostReport.h"

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
