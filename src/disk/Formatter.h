#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace fr {

// The file systems a drive can be given. FAT is what every other machine reads; ext4 is the
// Linux native one; exFAT only when its formatter is installed.
enum class FileSystemKind { Fat, Ext4, ExFat };

struct FormatRequest {
    QString device; // the drive's block device or image file
    FileSystemKind fileSystem = FileSystemKind::Fat;
    QString label;
    // A full format reads every sector first and writes nothing to a medium that fails.
    bool full = true;
    // The program's own folder: the volume that holds it is never formatted.
    QString programDir;
};

struct FormatOutcome {
    enum class Result {
        Formatted,
        Refused,    // the volume holds "/" or is in use and could not be unmounted
        Unreadable, // the full format found sectors that cannot be read
        Failed,     // the formatter could not be run or reported a failure
        Stopped,    // stopped during the sector check; nothing was written
    };
    Result result = Result::Failed;
    QString reason;                      // names the device and what went wrong
    std::uint64_t unreadableSectors = 0; // for Unreadable
};

// Called on the formatting thread.
struct FormatHooks {
    std::function<void(int percent)> checked; // the sector check's progress, 0 to 100
    std::function<void()> writing;            // the file system is being written now
};

// Formats a drive with the system's own formatters (mkfs.vfat, mkfs.ext4, mkfs.exfat).
namespace Formatter {

// The file systems whose formatter is installed, FAT first.
std::vector<FileSystemKind> available();
// The name a user knows the file system by: "FAT", "ext4", "exFAT".
QString nameOf(FileSystemKind kind);
// The longest label the file system keeps.
int labelLimit(FileSystemKind kind);

// Whether the system's formatters can write this volume: an optical disc (or its image, whose
// .cue sheet would be overwritten) cannot be. False with the reason naming the device.
bool formattable(const QString& device, QString* reason);

// Whether the volume must never be formatted because the running system or this program
// stands on it: it holds "/", one of the system's folders (/usr, /boot, /var, /home, /etc
// ...) or the program folder. True with the reason naming the device and what it holds.
bool holdsSystem(const QString& device, const QString& programDir, QString* reason);

// Unmounts the volume so that it can be formatted. False, with the reason, for the volume
// that holds "/" (never formatted) and for one that stays in use.
bool release(const QString& device, QString* reason);

// Formats the volume: refuses one that holds the system or the program folder, releases it, checks
// every sector for a full format, then writes the new file system. Blocks until done; `stop` ends
// the sector check (the formatter itself, once started, runs to its end so that no half-written
// file system is left).
FormatOutcome format(const FormatRequest& request, const FormatHooks& hooks,
                     const std::atomic<bool>& stop);

} // namespace Formatter

} // namespace fr
