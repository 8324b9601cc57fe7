#include "cli/ProgressLine.h"

#include <unistd.h>

namespace fr::cli {

namespace {

constexpr auto kTerminalInterval = std::chrono::milliseconds(250);
constexpr auto kPlainInterval = std::chrono::seconds(10);
constexpr int kPlainStep = 5;

} // namespace

ProgressLine::ProgressLine(std::FILE* out, bool terminal, Words words)
    : out_(out), terminal_(terminal), words_(std::move(words)) {}

bool ProgressLine::outputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

QString ProgressLine::text(const ProgressSample& sample) const {
    QString line =
        progressText(sample.percent, speed_, sample.totalBytes - sample.doneBytes, words_.speed);
    if (sample.unreadableBytes > 0)
        line += QStringLiteral(" \u00b7 ") + words_.unreadable + QStringLiteral(": ") +
                QString::number(sample.unreadableBytes) + QStringLiteral(" B");
    return line;
}

void ProgressLine::write(const QString& text) {
    if (!out_)
        return;
    if (terminal_) {
        // Spaces over what a longer line before left behind.
        const int width = static_cast<int>(text.size());
        const QString padding(std::max(0, lastWidth_ - width), ' ');
        lastWidth_ = width;
        std::fputs(qUtf8Printable('\r' + text + padding), out_);
    } else {
        std::fputs(qUtf8Printable(text + '\n'), out_);
    }
    std::fflush(out_);
}

void ProgressLine::start(const ProgressSample& sample) {
    const auto now = JobSpeed::Clock::now();
    speed_.start(now, sample.doneBytes, sample.failedReads);
    lastShown_ = now;
    lastPercentShown_ = sample.percent;
    lastStepShown_ = sample.percent / kPlainStep;
    write(text(sample));
}

bool ProgressLine::writeCrossedSteps(const ProgressSample& sample) {
    // A job that moves fast between two looks (a healthy stretch after a damaged one) may pass
    // several steps at once; a log that reads every step gets each of them.
    const int step = sample.percent / kPlainStep;
    if (step <= lastStepShown_)
        return false;
    for (int passed = lastStepShown_ + 1; passed <= step; ++passed) {
        ProgressSample at = sample;
        at.percent = passed * kPlainStep;
        write(text(at));
        lastPercentShown_ = at.percent;
    }
    lastStepShown_ = step;
    return true;
}

void ProgressLine::update(const ProgressSample& sample) {
    const auto now = JobSpeed::Clock::now();
    speed_.sample(now, sample.doneBytes, sample.failedReads);
    speed_.setDamagedArea(sample.damagedArea);
    if (terminal_) {
        if (now - lastShown_ < kTerminalInterval)
            return;
        lastShown_ = now;
        lastPercentShown_ = sample.percent;
        write(text(sample));
        return;
    }
    if (writeCrossedSteps(sample)) {
        lastShown_ = now;
    } else if (now - lastShown_ >= kPlainInterval) {
        lastShown_ = now;
        lastPercentShown_ = sample.percent;
        write(text(sample));
    }
}

void ProgressLine::breakLine() {
    if (!terminal_ || !out_)
        return;
    std::fputs("\n", out_);
    std::fflush(out_);
    lastWidth_ = 0;
}

void ProgressLine::finish(const ProgressSample& sample) {
    speed_.sample(JobSpeed::Clock::now(), sample.doneBytes, sample.failedReads);
    if (!out_)
        return;
    if (terminal_) {
        write(text(sample));
        std::fputs("\n", out_);
        std::fflush(out_);
    } else {
        // The steps up to the end, then the end itself unless a step line has just said it.
        writeCrossedSteps(sample);
        if (sample.percent != lastPercentShown_)
            write(text(sample));
    }
}

} // namespace fr::cli
