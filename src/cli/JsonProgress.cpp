#include "cli/JsonProgress.h"

#include "cli/JsonLines.h"

#include <QJsonObject>
#include <cmath>

namespace fr::cli {

namespace {

constexpr auto kInterval = std::chrono::milliseconds(250);

} // namespace

JsonProgress::JsonProgress(QString command) : command_(std::move(command)) {}

void JsonProgress::write(const ProgressSample& sample) {
    const std::int64_t remaining = std::max<std::int64_t>(0, sample.totalBytes - sample.doneBytes);
    const std::optional<double> rate = speed_.bytesPerSecond();
    const auto left = speed_.timeLeft(remaining);
    QJsonObject event;
    event.insert(QStringLiteral("event"), QStringLiteral("progress"));
    event.insert(QStringLiteral("command"), command_);
    event.insert(QStringLiteral("percent"), sample.percent);
    event.insert(QStringLiteral("bytesSettled"), static_cast<qint64>(sample.doneBytes));
    event.insert(QStringLiteral("totalBytes"), static_cast<qint64>(sample.totalBytes));
    event.insert(QStringLiteral("bytesPerSecond"),
                 rate ? QJsonValue(static_cast<qint64>(std::llround(*rate)))
                      : QJsonValue(QJsonValue::Null));
    event.insert(QStringLiteral("secondsLeft"), left
                                                    ? QJsonValue(static_cast<qint64>(left->count()))
                                                    : QJsonValue(QJsonValue::Null));
    event.insert(QStringLiteral("unreadableBytes"), jsonBytes(sample.unreadableBytes));
    event.insert(QStringLiteral("failedReads"), jsonBytes(sample.failedReads));
    event.insert(QStringLiteral("pass"), jsonOrNull(sample.pass));
    event.insert(QStringLiteral("damagedArea"), jsonOrNull(sample.damagedArea));
    writeJsonLine(event);
}

void JsonProgress::start(const ProgressSample& sample) {
    const auto now = JobSpeed::Clock::now();
    speed_.start(now, sample.doneBytes, sample.failedReads);
    speed_.setDamagedArea(sample.damagedArea);
    lastWritten_ = now;
    write(sample);
}

void JsonProgress::update(const ProgressSample& sample) {
    const auto now = JobSpeed::Clock::now();
    speed_.sample(now, sample.doneBytes, sample.failedReads);
    speed_.setDamagedArea(sample.damagedArea);
    if (now - lastWritten_ < kInterval)
        return;
    lastWritten_ = now;
    write(sample);
}

void JsonProgress::finish(const ProgressSample& sample) {
    speed_.sample(JobSpeed::Clock::now(), sample.doneBytes, sample.failedReads);
    speed_.setDamagedArea(sample.damagedArea);
    write(sample);
}

} // namespace fr::cli
