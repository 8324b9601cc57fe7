#pragma once

namespace fr::ProcessPriority {

// Idle CPU scheduling and the idle I/O class on every thread of this process (idle), or
// normal scheduling, nice 0 and best-effort I/O (not idle). False when the system refuses.
bool setIdle(bool idle);

} // namespace fr::ProcessPriority
