#pragma once

#include <QString>

namespace fr {

// Two jobs never write one destination at once: a job that writes a file, an image file or a
// device holds an exclusive advisory lock (flock) on it for as long as it keeps it open, and a
// second job finds the lock taken and is refused before it writes a byte. Peer tools that
// honour flock (and the system's device manager, which leaves a locked disk alone) see it too.

// Locks the open file `fd` for this job; the lock goes when the descriptor is closed. 0, or
// EWOULDBLOCK when another job holds it. A file system that keeps no locks gives 0: nothing
// there can be held by another job either.
int lockDestination(int fd);

// Whether another job holds the lock of the file at `nativePath` now: asked before a
// destination is emptied or replaced, so that a refused job costs the running one nothing.
// A file that does not exist, or cannot be opened, is held by nobody.
bool destinationInUse(const QString& nativePath);

// The reason an engine gives when it finds its destination locked after all (another job
// took it between the checks and the start).
QString destinationInUseReason();

} // namespace fr
