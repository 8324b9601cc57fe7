#pragma once

#include "core/JobSpeed.h"

#include <cstdint>
#include <optional>

namespace fr {

class PieGauge;
struct ProgramContext;

// A running job's progress gauge with the job's speed and time left in the gauge's own text
// ("37% · 12.4 MB/s · 2 min left"), so that nothing of the page's fixed layout moves. While the
// job reads damaged places the time left gives way to "reading damaged area".
class ProgressSpeed {
public:
    ProgressSpeed(PieGauge& gauge, const ProgramContext& context);

    // A job starts (or the next file of a whole-medium copy): what it has done already.
    void start(std::int64_t doneBytes, std::uint64_t failedReads = 0);
    // The job's report: its percent, bytes handled of its total, failed reads so far, and
    // whether it is reading around damaged places, when the job says (a job that does not is
    // taken to be in damaged places while its reads fail).
    void show(int percent, std::int64_t doneBytes, std::int64_t totalBytes,
              std::uint64_t failedReads, std::optional<bool> damagedArea = std::nullopt);
    // The job is over: the gauge shows its percent alone again.
    void stop();

private:
    PieGauge& gauge_;
    const ProgramContext& context_;
    JobSpeed speed_;
};

} // namespace fr
