#pragma once

#include <atomic>

namespace fr {

// What the page tells a running job, as thread-safe flags. The page sets them exactly where
// it changes the control that stands for them: stop when the stop button is pressed, paused
// when the pause button's caption changes, and the three check boxes. Every job gets a set of
// its own, so the flags of a stopped job that is still finishing never reach the next one.
struct JobSignals {
    std::atomic<bool> stopRequested{false}; // the start button is enabled
    std::atomic<bool> paused{false};        // the pause button does not show "pause"
    std::atomic<bool> lowPriority{false};   // CheckBox2
    std::atomic<bool> deleteSource{false};  // CheckBox1
    std::atomic<bool> switchOff{false};     // checkbox6
};

} // namespace fr
