#pragma once

namespace fr::cli {

// What the command line's exit status tells a script.
enum ExitStatus : int {
    kDone = 0,              // the job is done, every place was read (or nothing needed doing)
    kDoneWithDamage = 1,    // done, but places could not be read (fill blocks, zeroed groups,
                            // sectors not written, unreadable areas found)
    kRefused = 2,           // bad usage, or a check or question refused the job: nothing was done
    kFailed = 3,            // the job could not go on: a file or medium could not be read whole,
                            // written or opened (the message names it and the system's reason)
    kStoppedBySignal = 128, // + the signal's number: 130 after Ctrl-C, 143 after SIGTERM
    kStopped = 128,         // stopped because the medium went away (no signal); journalled
};

} // namespace fr::cli
