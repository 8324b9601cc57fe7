#include "platform/DestinationLock.h"

#include "platform/FileName.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fr {

namespace {

// The device manager takes a shared lock on a disk for a moment while it looks at it (after
// a medium arrives or is written); a job waits that long before it counts the disk as taken.
constexpr auto kDeviceGrace = std::chrono::milliseconds(1500);
constexpr auto kRetryPause = std::chrono::milliseconds(50);

bool isDevice(int fd) {
    struct stat status {};
    return fstat(fd, &status) == 0 && (S_ISBLK(status.st_mode) || S_ISCHR(status.st_mode));
}

} // namespace

int lockDestination(int fd) {
    const auto giveUp = std::chrono::steady_clock::now() + kDeviceGrace;
    const bool device = isDevice(fd);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        const int error = errno;
        if (error == EINTR)
            continue;
        // A file system without locks (some network shares) cannot hold one for anybody: the
        // job goes on there as it would have without locks.
        if (error != EWOULDBLOCK)
            return 0;
        if (!device || std::chrono::steady_clock::now() >= giveUp)
            return error;
        std::this_thread::sleep_for(kRetryPause);
    }
}

bool destinationInUse(const QString& nativePath) {
    if (nativePath.isEmpty())
        return false;
    // Read-only and non-blocking: looking never writes, and a pipe that took the name cannot
    // hold this thread.
    const int fd =
        ::open(fileNameBytes(nativePath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    const bool inUse = lockDestination(fd) == EWOULDBLOCK;
    ::close(fd);
    return inUse;
}

QString destinationInUseReason() {
    return QStringLiteral("another job is writing to this destination");
}

} // namespace fr
