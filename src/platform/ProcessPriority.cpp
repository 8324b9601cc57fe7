#include "platform/ProcessPriority.h"

#include <QDir>
#include <QStringList>
#include <cerrno>
#include <cstdint>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace fr::ProcessPriority {

namespace {

// The kernel's sched_setattr argument. Declared here: the kernel's own header clashes with
// the C library's scheduling declarations.
struct SchedAttr {
    std::uint32_t size = sizeof(SchedAttr);
    std::uint32_t policy = 0;
    std::uint64_t flags = 0;
    std::int32_t nice = 0;
    std::uint32_t priority = 0;
    std::uint64_t runtime = 0;
    std::uint64_t deadline = 0;
    std::uint64_t period = 0;
};

// ioprio_set: who, classes and the value layout of the kernel's I/O priorities.
constexpr int kIoprioWhoProcess = 1; // a single thread when given a thread id
constexpr int kIoprioClassShift = 13;
constexpr int kIoprioClassBestEffort = 2;
constexpr int kIoprioClassIdle = 3;
constexpr int kBestEffortNormalLevel = 4;

int ioprioValue(int ioClass, int level) {
    return (ioClass << kIoprioClassShift) | level;
}

} // namespace

bool setIdle(bool idle) {
    SchedAttr attr;
    attr.policy = idle ? SCHED_IDLE : SCHED_OTHER;
    attr.nice = 0;
    const int io = idle ? ioprioValue(kIoprioClassIdle, 0)
                        : ioprioValue(kIoprioClassBestEffort, kBestEffortNormalLevel);

    // Every thread of the process: the copy's own thread as much as the window's.
    QStringList threads =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (threads.isEmpty())
        threads << QString::number(getpid());

    bool allDone = true;
    for (const QString& name : threads) {
        bool number = false;
        const pid_t thread = name.toInt(&number);
        if (!number)
            continue;
        // A thread that ended meanwhile needs nothing.
        if (syscall(SYS_sched_setattr, thread, &attr, 0U) != 0 && errno != ESRCH)
            allDone = false;
        if (syscall(SYS_ioprio_set, kIoprioWhoProcess, thread, io) != 0 && errno != ESRCH)
            allDone = false;
    }
    return allDone;
}

} // namespace fr::ProcessPriority
