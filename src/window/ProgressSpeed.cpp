#include "window/ProgressSpeed.h"

#include "core/ProgramContext.h"
#include "widgets/PieGauge.h"

namespace fr {

ProgressSpeed::ProgressSpeed(PieGauge& gauge, const ProgramContext& context)
    : gauge_(gauge), context_(context) {}

void ProgressSpeed::start(std::int64_t doneBytes, std::uint64_t failedReads) {
    speed_.start(JobSpeed::Clock::now(), doneBytes, failedReads);
    gauge_.setText(QString());
}

void ProgressSpeed::show(int percent, std::int64_t doneBytes, std::int64_t totalBytes,
                         std::uint64_t failedReads, std::optional<bool> damagedArea) {
    speed_.sample(JobSpeed::Clock::now(), doneBytes, failedReads);
    speed_.setDamagedArea(damagedArea);
    gauge_.setProgress(percent);
    const SpeedWords words{context_.text(251), context_.text(252)};
    gauge_.setText(progressText(gauge_.shownPercent(), speed_, totalBytes - doneBytes, words));
}

void ProgressSpeed::stop() {
    gauge_.setText(QString());
}

} // namespace fr
