#pragma once

#include <QString>
#include <cstdint>

namespace fr {

class DriveMap;
struct ProgramContext;

// Whether a journal record can hold a copy of `bytes` from `source` to `destination` (drive
// form): always, but for a source of 4 GiB or more whose two names both fill their fields.
bool journalCanHold(const QString& source, const QString& destination, std::uint64_t bytes);

// How the checks before a file copy speak to the user: the window through its message boxes,
// the command line on the terminal. Every text is a language-table index; the file it is about
// and the detail (the system's reason, sizes) come with it, for those who show them.
class CopyStartDialogue {
public:
    virtual ~CopyStartDialogue() = default;

    // The copy cannot start (175, 230, 102, 234, 235, 272, 270, 225, 104).
    virtual void refused(int text, const QString& file, const QString& detail) = 0;
    // The destination exists: whether it may be written (63). `canStart` is false when an
    // earlier check has already refused the copy; `resume` when the copy is being finished.
    virtual bool replaceExisting(const QString& destination, bool canStart, bool resume) = 0;
    // The destination's medium is in the register of damaged media: whether to use it (131).
    virtual bool useRegisteredMedium(const QString& destination) = 0;
    // The destination could not be emptied (103).
    virtual void failed(int text, const QString& file, const QString& reason) = 0;
};

// A file copy that has passed the checks: the destination is emptied when it was to be
// replaced, and nothing else has been written.
struct CopyStart {
    QString nativeSource;
    QString nativeDestination;
    std::uint64_t sourceSize = 0;
};

// The checks before a file copy, in their order: the same text or the same file under two
// names (a second drive letter, a link: emptying the destination would destroy the source),
// a path too long for the journal, a source that is missing or not a file, a destination that
// is not a file or is one of the program folder's own files, a destination another job is
// writing, an existing destination (asked about), a source the journal cannot hold,
// too little free space (the destination about to be emptied counts as free), a destination
// medium in the register of damaged media (asked about). Only then is a replaced destination
// emptied. `source` and `destination` are in drive form. True when the copy may start.
bool checkCopyStart(ProgramContext& context, const DriveMap& drives, const QString& source,
                    const QString& destination, bool resume, CopyStartDialogue& dialogue,
                    CopyStart* start);

} // namespace fr
