#pragma once

#include "core/CopyJob.h"
#include "rescue/RecordFile.h"

#include <QByteArray>
#include <QString>

namespace fr::cli {

// The journal entry of the job a command runs: none at first for a new job, the entry being
// finished for a resumed one. The entry is found again by its bytes each time, so a window
// that adds or removes other entries meanwhile does not make it touch the wrong one.
class JournalSlot {
public:
    explicit JournalSlot(const QString& journalPath, QByteArray entry = {});

    // Writes the job's record over this slot's entry, or appends it when there is none (or it
    // is gone). Empty on success, else the file and the system's reason.
    QString put(const CopyJob& job);
    // Removes this slot's entry, if it is still there.
    QString remove();
    // The entry's number in the journal as the resume command counts (from 1); 0 for none.
    int number() const;
    bool holdsEntry() const { return !entry_.isEmpty(); }

private:
    int find() const;

    RecordFile file_;
    QByteArray entry_;
};

} // namespace fr::cli
