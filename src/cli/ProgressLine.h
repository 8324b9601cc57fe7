#pragma once

#include "core/JobSpeed.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace fr::cli {

// Where a running job is.
struct ProgressSample {
    int percent = 0;
    std::int64_t doneBytes = 0;  // handled so far, from the start of the file or medium
    std::int64_t totalBytes = 0; // of the whole job
    std::uint64_t failedReads = 0;
    std::uint64_t unreadableBytes = 0; // found (or filled) so far in this run
    // The job's own word on whether it is at the damaged places now; unknown: judged from the
    // failed reads.
    std::optional<bool> damagedArea;
};

// The progress of a job on standard output. On a terminal one line is rewritten in place a few
// times a second: percent, speed, time left and the unreadable bytes so far. Elsewhere (a log,
// a pipe) a plain line is written at every multiple of 5 percent the job passes, none skipped,
// and at least every 10 seconds.
class ProgressLine {
public:
    struct Words {
        SpeedWords speed;   // "%1 left", "reading damaged area"
        QString unreadable; // "unreadable"
    };

    ProgressLine(std::FILE* out, bool terminal, Words words);

    void start(const ProgressSample& sample);
    void update(const ProgressSample& sample);
    // The last state, and the line ended so that what follows starts on a new one.
    void finish(const ProgressSample& sample);
    // Ends the line on a terminal, so that a message can be written below it; the progress
    // goes on in the next line.
    void breakLine();

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
