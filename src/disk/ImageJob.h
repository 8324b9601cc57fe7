#pragma once

#include "core/AreaList.h"
#include "core/BackgroundCommit.h"
#include "core/PostReport.h"
#include "core/ReadOrder.h"
#include "core/RescueMap.h"
#include "disk/BlockReader.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace fr {

class LiveJob;
class Platform;
class RescuePasses;
struct JobSignals;

// A run of sectors the medium refuses to take is written again in groups of this many, so that
// only the groups that really fail are counted.
constexpr std::uint32_t kImageGroupSectors = 32;

// How an image job ended, for the page.
struct ImageOutcome {
    // The next sector to read or write by the sector-by-sector rule: everything before it is
    // handled. A stopped job is resumed from here; its map says what it read beyond.
    std::uint64_t position = 0;
    // Some sector could not be read (of the medium, or of the image file) and was written as
    // zeros: the error marker's "CHYBA".
    bool readFailed = false;
    // Sectors of the medium that could not be written (image to medium only).
    std::uint64_t unwrittenSectors = 0;
    // The sectors this run could not read and wrote as zeros, in bytes from the volume's (and
    // the image's) start, neighbours merged: the job's map of unreadable areas.
    AreaList unreadableAreas;
    // Why the job could not go on (the image or the medium cannot be opened, the image cannot
    // be written): the file and the system's reason; empty when it ended or was stopped.
    QString failure;
    // The medium (or the image's own medium) went away: the job ended as a stop does, at the
    // position reached, with nothing written as zeros after the loss.
    bool mediumGone = false;
};

// What an image job tells the window. Every hook runs through `post`, in order; `ended` is
// always the last.
struct ImageHooks {
    // Runs a piece of work on the main thread (see KopirovanieEexHooks::post).
    PostToMainThread post;
    // Percent of the sectors handled (at most 100) and the position reached, at most 20 times
    // a second and once more at the end.
    std::function<void(int percent, std::uint64_t position)> progress;
    // The job's map in bytes of the medium, and whether it is reading around damaged places;
    // as KopirovanieEexHooks::mapped.
    std::function<void(const RescueMap& map, bool damagedArea)> mapped;
    std::function<void(const ImageOutcome& outcome)> ended;
};

// One image job: a medium and an image file, both native paths.
struct ImageSetup {
    QString mediumPath; // the drive's block device or image file
    QString imagePath;
    std::uint32_t bytesPerSector = 512;
    std::uint64_t position = 0; // the first sector to handle: 0, or where a stopped job got
    std::uint64_t end = 0;      // sectors in the job
    std::shared_ptr<JobSignals> jobSignals;
    Platform& platform;
    // Where the job keeps its map and journal record while it runs; none for the bench. Its
    // earlier map says what is left to handle: the pending areas from the position on.
    std::shared_ptr<LiveJob> live;
    // The order of the reads; the image is the same in every order.
    ReadOrder order{};
};

// The thread and the reports both image jobs share. One object serves one job; start() runs
// it on a thread of its own, run() on the caller's (the bench). The destructor waits for the
// thread, so stop the job first.
class ImageWorker {
public:
    ImageWorker(ImageSetup setup, ImageHooks hooks);
    virtual ~ImageWorker();
    ImageWorker(const ImageWorker&) = delete;
    ImageWorker& operator=(const ImageWorker&) = delete;

    void start();
    // Asks the job to stop; it ends after the read or write under way.
    void stop();
    void wait();
    // The whole job on the calling thread; the outcome is also posted to `ended`.
    ImageOutcome run();

    // Reads of the source so far and how many failed, for the bench.
    std::uint64_t reads() const { return reads_.load(); }
    std::uint64_t failedReads() const { return failedReads_.load(); }
    // The pass of the read order the job is in, from 1; 0 before the first.
    int pass() const { return pass_.load(); }
    // Bytes of the sectors found unreadable so far, for a progress line while the job runs.
    std::uint64_t unreadableBytes() const { return unreadableBytes_.load(); }

protected:
    virtual ImageOutcome transfer() = 0;

    // Posted when the percent or the position changed, at most 20 times a second; `last`
    // always posts.
    void reportProgress(std::uint64_t position, bool last, const RescuePasses* passes = nullptr);
    // Sleeps a little while the job is paused; true when it was.
    bool waitWhilePaused() const;
    // Marks `bytes` from `offset` as unreadable in the outcome and the live count.
    void noteUnreadable(ImageOutcome& outcome, std::uint64_t offset, std::uint64_t bytes);

    // Whether the job's map and record are due to be brought up to date.
    bool checkpointDue() const;
    // Ends the background commits: before the destination they sync is closed.
    void stopCommits();
    // The last commit after readGoodDataFirst(): its map, with `position` in sectors, on this
    // thread after the commit under way. 0, or the errno of a failed sync (EIO with `failure`
    // set for a map or record that could not be written). Nothing to do without a map.
    int checkpointPasses(int destination, std::uint64_t position, QString* failure);

    // Reads what is left of `source` good data first (see RescuePasses), a sector the unit:
    // each readable run, and zeros for each sector that cannot be read, go to `write` at their
    // offset, which returns the errno that ends the job (0 to go on). Between reads the job
    // pauses, follows the priority box, reports, and commits its map after syncing
    // `destination`. Sets the outcome's position, unreadable areas and medium loss; returns 0
    // or the errno that ended the job, with `failure` set when a map or record could not be
    // written and `sourceFailed` when the source could not be opened.
    using SectorWriter =
        std::function<int(std::uint64_t offset, const std::uint8_t* data, std::uint64_t length)>;
    int readGoodDataFirst(const QString& source, BlockReader::Options reading, int destination,
                          const SectorWriter& write, ImageOutcome& outcome, QString* failure,
                          bool* sourceFailed);

    ImageSetup setup_;
    std::atomic<std::uint64_t> reads_{0};
    std::atomic<std::uint64_t> failedReads_{0};
    std::atomic<std::uint64_t> unreadableBytes_{0};
    std::atomic<int> pass_{0};

private:
    class Passes;

    void post(std::function<void()> work) const;
    RescueMap mapOf(const RescuePasses& passes) const;

    static int failureOf(const BackgroundCommit::Failure& failure, QString* text);
    BackgroundCommit* commitsTo(int destination);

    // Syncs the destination and commits the job's progress beside it; made at the first
    // commit of a job that keeps a map.
    std::unique_ptr<BackgroundCommit> commits_;

    ImageHooks hooks_;
    std::thread thread_;
    std::chrono::steady_clock::time_point lastProgress_{};
    int lastPercent_ = -1;
    std::uint64_t lastPosition_ = ~std::uint64_t{0}; // none yet
    std::chrono::steady_clock::time_point lastMapped_{};
    // The map where the passes ended, for the last commit.
    RescueMap lastMap_;
};

// "<file>: <the system's reason>".
QString imageFailure(const QString& file, int error);
// Why a job could not take its destination `file`: another job holds it, or the system's reason.
QString destinationFailure(const QString& file, int error);

} // namespace fr
