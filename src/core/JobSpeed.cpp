#include "core/JobSpeed.h"

#include <QLocale>
#include <cmath>

namespace fr {

namespace {

// A failed read this recent means the job is still in the damaged stretch.
constexpr auto kDamagedStretch = std::chrono::seconds(3);
// The least span of samples that gives a rate worth showing.
constexpr auto kFirstRate = std::chrono::seconds(1);

} // namespace

JobSpeed::JobSpeed(std::chrono::milliseconds window) : window_(window) {}

void JobSpeed::start(Clock::time_point now, std::int64_t doneBytes, std::uint64_t failedReads) {
    samples_.clear();
    samples_.push_back({now, doneBytes});
    failedReads_ = failedReads;
    lastFailure_.reset();
    damagedArea_.reset();
}

void JobSpeed::sample(Clock::time_point now, std::int64_t doneBytes, std::uint64_t failedReads) {
    if (samples_.empty()) {
        start(now, doneBytes, failedReads);
        return;
    }
    if (failedReads > failedReads_)
        lastFailure_ = now;
    failedReads_ = failedReads;
    samples_.push_back({now, doneBytes});
    // Keep one sample at or before the window's start, so the rate always spans the window.
    while (samples_.size() > 2 && samples_[1].when <= now - window_)
        samples_.pop_front();
}

std::optional<double> JobSpeed::bytesPerSecond() const {
    if (samples_.size() < 2)
        return std::nullopt;
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    const auto span = last.when - first.when;
    if (span < kFirstRate)
        return std::nullopt;
    const double seconds = std::chrono::duration<double>(span).count();
    return std::max(0.0, static_cast<double>(last.done - first.done) / seconds);
}

bool JobSpeed::readingDamaged() const {
    if (damagedArea_)
        return *damagedArea_;
    return lastFailure_ && !samples_.empty() &&
           samples_.back().when - *lastFailure_ < kDamagedStretch;
}

std::optional<std::chrono::seconds> JobSpeed::timeLeft(std::int64_t remainingBytes) const {
    const std::optional<double> rate = bytesPerSecond();
    if (!rate || *rate <= 0 || readingDamaged())
        return std::nullopt;
    const double seconds = std::max<std::int64_t>(remainingBytes, 0) / *rate;
    return std::chrono::seconds(static_cast<std::int64_t>(std::ceil(seconds)));
}

QString rateText(double bytesPerSecond) {
    const QLocale locale;
    const double megabytes = bytesPerSecond / 1048576.0;
    if (megabytes >= 100)
        return locale.toString(megabytes, 'f', 0) + QStringLiteral(" MB/s");
    if (megabytes >= 1)
        return locale.toString(megabytes, 'f', 1) + QStringLiteral(" MB/s");
    return locale.toString(bytesPerSecond / 1024.0, 'f', 0) + QStringLiteral(" kB/s");
}

QString durationText(std::chrono::seconds duration) {
    const std::int64_t seconds = std::max<std::int64_t>(duration.count(), 0);
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    // Whole minutes, rounded up: "1 min" while anything is left of the second minute.
    const std::int64_t minutes = (seconds + 59) / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    const std::int64_t hours = minutes / 60;
    const std::int64_t rest = minutes % 60;
    return rest == 0 ? QStringLiteral("%1 h").arg(hours)
                     : QStringLiteral("%1 h %2 min").arg(hours).arg(rest);
}

QString progressText(int percent, const JobSpeed& speed, std::int64_t remainingBytes,
                     const SpeedWords& words) {
    QString text = QString::number(percent) + QLatin1Char('%');
    const QString separator = QStringLiteral(" \u00b7 ");
    const std::optional<double> rate = speed.bytesPerSecond();
    if (rate)
        text += separator + rateText(*rate);
    if (speed.readingDamaged())
        return text + separator + words.damagedStretch;
    if (const auto left = speed.timeLeft(remainingBytes))
        text +=
            separator + QString(words.timeLeft).replace(QLatin1String("%1"), durationText(*left));
    return text;
}

} // namespace fr
