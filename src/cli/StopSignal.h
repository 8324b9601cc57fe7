#pragma once

#include <functional>

namespace fr::cli {

// Ctrl-C (SIGINT) and SIGTERM stop a running job as the window's stop button does: the
// handler only notes the signal, and the command's main thread hands it to the job. A second
// signal ends the program at once, as if no handler were there.
namespace StopSignal {

// Installs the handler; from now on the signals stop the job instead of the program.
void install();
// The signal that arrived, 0 while none has.
int received();
// Runs `start` with both signals blocked, so that the threads it starts (and theirs) never
// take them: a read of a slow medium interrupted by a signal would fail like a damaged place.
// Only the main thread then receives them.
void withSignalsBlocked(const std::function<void()>& start);
// Sleeps up to `milliseconds`; a signal ends the sleep early.
void sleep(int milliseconds);

} // namespace StopSignal

} // namespace fr::cli
