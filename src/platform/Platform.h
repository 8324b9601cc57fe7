#pragma once

#include <QString>

namespace fr {

// The operating-system services the program asks for. One seam, so that tests can play
// another system (for instance one of the old 9x family, whose users lack some pages).
class Platform {
public:
    virtual ~Platform() = default;

    // A readable name of the running system. Its first ten characters tell the 9x family
    // ("Windows 95", "Windows 98", "Windows ME") apart; nothing here ever reports those.
    virtual QString osName() const = 0;
    // "NT" for every system that needs administrator rights, "9x" for the old family.
    virtual QString osFamily() const = 0;
    // True when the user may read and write whole disks.
    virtual bool isAdmin() const = 0;
    // Ends the process at once: no window is closed, nothing is saved, no thread is waited
    // for. A scripted platform only records the code, so callers must return after it.
    virtual void exitNow(int code) = 0;

    // Opens a file as the desktop would, without waiting: a program is started, an internet
    // shortcut (".url") opens its address in the browser, anything else opens with its
    // default application. hidden asks for no window where the file is a program.
    virtual void runFile(const QString& path, bool hidden) = 0;

    // Idle scheduling and the idle I/O class for every thread of the process, or back to
    // normal. False when the system refuses (an ordinary user cannot leave idle scheduling);
    // a job then goes on as it is.
    virtual bool setIdlePriority(bool idle) = 0;

    // Switches the computer off, as a user would from the desktop. A failure is silent: the
    // program goes on.
    virtual void powerOff() = 0;

    // Registers a program to start with the user's session under this name, or removes the
    // registration (a missing one is no error). Returns the reason of a failure, empty on success.
    virtual QString setAutostart(const QString& name, const QString& program, bool enabled) = 0;
};

} // namespace fr
