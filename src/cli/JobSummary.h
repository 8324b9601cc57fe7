#pragma once

#include "core/AreaList.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace fr {
struct RescueMap;
}

namespace fr::cli {

// What a script learns of a run once it ends: the command fills it in as it learns things,
// and the program writes it once, with its exit status, as the last line of its JSON output.
// What a command never learns stays null.
struct JobSummary {
    QString command; // empty (null) when none was given
    std::optional<std::int64_t> totalBytes;
    std::optional<std::int64_t> bytesSettled;
    std::optional<std::int64_t> unreadableBytes;
    std::optional<AreaList> areas; // unreadable areas, in bytes of the source
    QString map;                   // the file --map names, as written to
    int journalEntry = 0;          // the journal entry that holds the job; 0 for none
    QStringList messages;          // what was said to the user, in order

    // The sizes and areas a job's map holds.
    void takeMap(const RescueMap& map);

    // "done", "done-with-damage", "refused", "failed" or "stopped".
    static QString outcomeOf(int exitStatus);
    QJsonObject toJson(int exitStatus) const;
    // The summary as the last line of standard output.
    void write(int exitStatus) const;
};

// The summary of a command line refused before any command ran (bad usage).
void writeRefusedSummary(const QString& command, const QString& problem);

} // namespace fr::cli
