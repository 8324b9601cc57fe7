#pragma once

#include "core/AreaList.h"
#include "core/CopyJob.h"
#include "core/RescueMap.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace fr {

// What a running job keeps on disk, so that a crash, a kill or a power cut costs no more than
// its last few seconds: its map of areas (read, unreadable, untried) and, for a job the journal
// can resume, its journal record as it stands. Both live in the program folder's "maps" folder
// under a name taken from the job (its source, destination and start), so a later run of the
// same journal entry finds the map its earlier runs left:
//   <id>.map  the map, in the mapfile format, naming the source and destination it describes;
//   <id>.job  the journal record (536 bytes, the journal's own format), locked while the job
//             runs. A record nobody holds belongs to a job that ended without being journalled:
//             the next start of the program puts it in the journal.
//
// Order of durability: the worker syncs its destination first and then commits, so neither
// file ever claims a byte that is not on the destination's disk. Commits come every
// kInterval at most while the job runs, and once more at its end.
class LiveJob {
public:
    static constexpr std::chrono::seconds kInterval{2};

    struct Description {
        CopyJob job;                // names and start stamp: the job's identity; its record
        bool journalled = true;     // whether a crash must leave a journal record
        std::int64_t bytes = 0;     // the size of the source the map covers
        std::int64_t unitBytes = 1; // bytes one step of `position` stands for (a sector size)
        QString createdBy;          // what keeps the map, for its first comment line
        QString commandLine;        // the job as the user gave it, if typed
        QStringList alsoMapTo;      // further files that receive the map at every commit
        // What earlier runs learnt, when the caller knows it better than the maps folder (a
        // map the user names); otherwise the job's map there, when it fits the source.
        std::optional<RescueMap> earlier;
    };

    // The name a job's files take in the maps folder: the same for every run of one job.
    static QString idOf(const CopyJob& job);
    static QString folderOf(const QString& programDir);
    static QString mapPathOf(const QString& programDir, const CopyJob& job);

    // Starts keeping a job: its record (when journalled) and a first map, in which what the
    // job's earlier runs learnt (their map in the maps folder, when it describes a source of
    // this size) is kept. Null with `error` set when the folder or a file cannot be written: the
    // job must not start without them.
    static std::shared_ptr<LiveJob> begin(const QString& programDir, Description description,
                                          QString* error);
    // What the job's earlier runs learnt: its pending areas are what is left to read.
    const RescueMap& earlier() const { return earlier_; }
    // The earlier map is one the user named (another tool's, or a map kept elsewhere), not
    // this job's own: its read areas stay as they are, and only its pending areas are read.
    bool earlierNamedByUser() const { return description_.earlier.has_value(); }

    ~LiveJob();
    LiveJob(const LiveJob&) = delete;
    LiveJob& operator=(const LiveJob&) = delete;

    // Whether a commit is due: kInterval has passed since the last. Cheap, for every step.
    bool due() const;
    // This run's knowledge, after the destination is synced: the bytes it handled, those it
    // could not read within them, and the position the journal would resume from. The map
    // adds it to what earlier runs learnt. Empty on success, else the file and the reason.
    QString commit(ByteRange handled, const AreaList& unreadable, std::uint64_t position);
    // The same for a job that reads out of order: `map` is the whole job's map, what earlier
    // runs learnt already in it.
    QString commitMap(const RescueMap& map, std::uint64_t position);
    // This run's knowledge over `handled` added to what earlier runs learnt.
    RescueMap mapWith(ByteRange handled, const AreaList& unreadable) const;
    // The map of the last commit.
    RescueMap lastMap() const;
    // The position of the last commit: on the destination's disk for sure.
    std::uint64_t committedPosition() const { return committedPosition_.load(); }

    QString mapPath() const { return mapPath_; }

    // The job has ended and its journal record, if any, is in the journal: the running record
    // goes, and the map too unless the journal entry keeps it for a later run.
    void retire(bool keepMap);

private:
    LiveJob(QString folder, Description description);
    QString writeMaps(const RescueMap& map);

    mutable std::mutex lock_;
    const QString folder_;
    const Description description_;
    const QString mapPath_;
    const QString recordPath_;
    int recordFd_ = -1; // open and locked while the job runs
    RescueMap earlier_;
    RescueMap last_;
    QDateTime started_;
    // steady_clock ticks of the last commit, read by due() on the worker's thread.
    std::atomic<std::int64_t> lastCommit_{0};
    std::atomic<std::uint64_t> committedPosition_{0};
    bool retired_ = false;
};

// Syncs the data of an open destination to its disk: 0 or the errno. A descriptor of a file
// system that cannot sync (a pipe, some FUSE mounts) counts as synced.
int syncDestination(int fd);

} // namespace fr
