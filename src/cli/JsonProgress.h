#pragma once

#include "cli/ProgressOutput.h"
#include "core/JobSpeed.h"

#include <QString>

namespace fr::cli {

// The progress of a job as JSON events on standard output, one object a line, for a script:
// one when the job starts, at most four a second while it runs, and one when it ends.
class JsonProgress : public ProgressOutput {
public:
    explicit JsonProgress(QString command);

    void start(const ProgressSample& sample) override;
    void update(const ProgressSample& sample) override;
    void finish(const ProgressSample& sample) override;
    void breakLine() override {}

private:
    void write(const ProgressSample& sample);

    QString command_;
    JobSpeed speed_;
    JobSpeed::Clock::time_point lastWritten_{};
};

} // namespace fr::cli
