#pragma once

#include "cli/ProgressOutput.h"
#include "core/JobSpeed.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace fr::cli {

// The progress of a job on standard output. On a terminal one line is rewritten in place a few
// times a second: percent, speed, time left and the unreadable bytes so far. Elsewhere (a log,
// a pipe) a plain line is written at every multiple of 5 percent the job passes, none skipped,
// and at least every 10 seconds.
class ProgressLine : public ProgressOutput {
public:
    struct Words {
        SpeedWords speed;   // "%1 left", "reading damaged area"
        QString unreadable; // "unreadable"
    };

    ProgressLine(std::FILE* out, bool terminal, Words words);

    void start(const ProgressSample& sample) override;
    void update(const ProgressSample& sample) override;
    // The last state, and the line ended so that what follows starts on a new one.
    void finish(const ProgressSample& sample) override;
    // Ends the line on a terminal, so that a message can be written below it; the progress
    // goes on in the next line.
    void breakLine() override;

    static bool outputIsTerminal();

private:
    QString text(const ProgressSample& sample) const;
    void write(const QString& text);
    // A plain line for every multiple of 5 percent passed since the last one written; whether
    // any was written.
    bool writeCrossedSteps(const ProgressSample& sample);

    std::FILE* out_;
    bool terminal_;
    Words words_;
    JobSpeed speed_;
    JobSpeed::Clock::time_point lastShown_{};
    int lastPercentShown_ = -1;
    int lastStepShown_ = 0; // the last multiple of 5 percent written, divided by 5
    int lastWidth_ = 0;
};

} // namespace fr::cli
