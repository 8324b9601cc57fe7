#pragma once

#include "core/PostReport.h"
#include "platform/DriveMap.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace fr {

struct FillBuffers;
class Platform;
struct JobSignals;

// How a whole-medium copy ended, for the page.
struct MediumOutcome {
    // Some place of some file could not be read and became a fill block.
    bool readFailed = false;
    // The stop came before the last file was done; no later file was touched.
    bool stopped = false;
    // The medium went away during a file's copy: the job ended there as a stop does.
    bool mediumGone = false;
    // Sources kept although the delete-source flag was set, because not every byte of them
    // was read (drive form).
    QStringList keptSources;
    // Sources that were read whole but could not be deleted: "<file>: <the system's reason>".
    QStringList undeletedSources;
    // Why the job could not go on, naming the file (a file that cannot be opened, a full
    // destination, a destination that is not a file); empty when it ended or was stopped.
    QString failure;
};

// What the whole-medium copy tells the window. Every hook runs through `post`, in the order
// the copy produced them; `ended` is always the last.
struct MediumExHooks {
    // Runs a piece of work on the main thread (see KopirovanieEexHooks::post).
    PostToMainThread post;
    // A file's copy begins: its path, its destination (both in drive form) and its size.
    std::function<void(const QString& source, const QString& destination, std::uint64_t size)>
        fileStarted;
    // The current file's percent and position, as the rescue copy reports them.
    std::function<void(int percent, std::uint64_t position)> progress;
    // The job is over: every file done, stopped, or failed. With the delete-source flag set,
    // sources whose every byte was read are already deleted; the outcome lists the rest.
    std::function<void(const MediumOutcome& outcome)> ended;
};

// The rescue copy of a list of files into one destination folder, keeping their folders: the
// file E:\docs\a.txt goes to <folder>docs\a.txt. Each file is copied by the rescue copy's own
// loop (fill blocks for unreadable places, no retry), one after the other. A file copied to
// its end leaves a destination of exactly the bytes handled, also where an older, longer file
// was. A stop ends the whole job: the file under way stays as far as it got, and no later file
// is opened or created. Anything other than an unreadable place that stops a file (it cannot
// be opened, the destination cannot be written) ends the job there.
//
// Thread model as KopirovanieEex: one object a job, owning its list, folder, drive map and
// signals; start() on its own thread, run() on the caller's.
class MediumEx {
public:
    struct Setup {
        QStringList files;                      // drive form, all on one drive
        QString destinationFolder;              // drive form, ending in "\"
        DriveMap drives;                        // how drive paths reach this system's files
        std::shared_ptr<JobSignals> jobSignals; // this job's stop, pause, priority, delete source
        const FillBuffers& buffers;
        std::uint8_t fillMode = 0;
        Platform& platform;
        // The program folder, whose maps folder holds the map of the file under way while it
        // is copied; empty: no map is kept (the bench).
        QString programDir;
    };

    MediumEx(Setup setup, MediumExHooks hooks);
    ~MediumEx();
    MediumEx(const MediumEx&) = delete;
    MediumEx& operator=(const MediumEx&) = delete;

    void start();
    // Asks the job to stop; it ends after the read or write under way.
    void stop();
    void wait();
    MediumOutcome run();

    // Where a file goes: the folder followed by the file's path without its drive root.
    static QString destinationOf(const QString& file, const QString& folder) {
        return folder + file.mid(3);
    }

    // Failed reads of all files so far, while the job runs.
    std::uint64_t failedReads() const { return failedReads_.load(); }

private:
    // Copies one file; returns why it could not be copied, empty when it was (or was stopped).
    QString copyFile(const QString& file, MediumOutcome& outcome);
    void post(std::function<void()> work) const;

    Setup setup_;
    MediumExHooks hooks_;
    std::thread thread_;
    std::atomic<std::uint64_t> failedReads_{0};
};

} // namespace fr
