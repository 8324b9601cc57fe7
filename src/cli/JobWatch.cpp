#include "cli/JobWatch.h"

#include "cli/StopSignal.h"

namespace fr::cli {

namespace {

constexpr int kPollMilliseconds = 50;

} // namespace

int watchJob(const JobWatch& watch, ProgressOutput& line) {
    int stoppedBy = 0;
    line.start(watch.sample());
    while (!watch.ended()) {
        if (stoppedBy == 0 && StopSignal::received() != 0) {
            stoppedBy = StopSignal::received();
            line.breakLine();
            watch.stop(stoppedBy);
        }
        line.update(watch.sample());
        StopSignal::sleep(kPollMilliseconds);
    }
    line.finish(watch.sample());
    return stoppedBy;
}

} // namespace fr::cli
