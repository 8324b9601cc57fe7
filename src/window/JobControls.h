#pragma once

#include "window/JobControl.h"

#include <QObject>
#include <cstdint>
#include <memory>

namespace fr {

class LiveJob;
class TForm1;
struct CopyJob;
struct ProgramContext;

// The job controls that the copy-files, whole-medium and disk-image pages share: the pause
// and stop buttons and the job monitor, which shows the end-of-job report and offers to
// enter a medium that failed to read in the register of damaged media.
class JobControls : public QObject, public JobControl {
    Q_OBJECT
public:
    JobControls(TForm1& form, ProgramContext& context);

    // JobControl, for the exit procedure: a job runs while the start button is disabled.
    bool jobRunning() const override;
    void togglePause() override { SpeedButton14Click(); }
    void stopJob() override { SpeedButton15Click(); }

    // Before a job starts: where it keeps its map and journal record while it runs (the
    // context's job, `bytes` of source, `unitBytes` a position step). Null, after telling the
    // user why, when they cannot be written: the job must not start then. The controls keep it
    // until the job has ended and its record is journalled.
    std::shared_ptr<LiveJob> beginLiveJob(std::int64_t bytes, std::int64_t unitBytes);
    // The start of a job: new signals for it, taken from the boxes; the start button disabled
    // (the job runs), pause enabled and showing "pause", the commands disabled, the monitor
    // started.
    void jobStarted();
    // The worker's end, on the main thread, after the page has taken its results into the
    // context's job: the page returns to idle. When a stop journalled the job, its record is
    // brought up to the position the worker really reached.
    void jobEnded();
    // The end actions of a worker that ran through (finished or stopped), on the main thread,
    // after the page has taken its results into the context's job: the marker the monitor
    // reads, the page's idle state, then, with the switch-off box ticked, the registration of a
    // medium that failed to read (the drive of the job's source) and the power-off.
    void jobCompleted(bool readFailed);
    // The worker ended on a failure other than reading: the page stays running until the user
    // stops it, and that stop then completes at once. A stop already pending completes now.
    void jobFailed();
    // The worker ended because its medium went away, after the page has taken the position
    // reached into the context's job: the job is journalled as the stop button would journal
    // it (unless a stop already did), before jobCompleted() ends it.
    void jobLostMedium();

    void SpeedButton14Click(); // pause and continue
    void SpeedButton15Click(); // stop
    void Timer2Timer();        // the job monitor, every half second while a job runs
    void stopMonitor();

    // The end-of-job report: what was copied, where, how much, from when to when.
    QString report() const;

private:
    void offerRegistration();
    // The page back in its idle state: start enabled, pause disabled, the commands enabled.
    void becomeIdle();
    void rewriteStopRecord();
    // The stop's journal record of the context's job, except on the whole-medium page.
    void appendStopRecord();
    // The job's record as the journal may hold it: never ahead of what its destination's disk
    // holds, so the position of its last commit while the worker still runs.
    CopyJob recordedJob() const;
    // The job has ended: its running record goes, and its map too unless the journal holds the
    // job for a later run.
    void retireLiveJob();

    TForm1& form_;
    ProgramContext& context_;
    // The job's worker has not ended yet; a stop waits for it.
    bool workerRunning_ = false;
    // A stop was given and waits for the worker to finish the read or write under way.
    bool stopPending_ = false;
    // The journal record the stop appended, and where, until the worker's end corrects it.
    int stopRecordIndex_ = -1;
    QByteArray stopRecord_;
    // The running job's map and record on disk, and whether the journal holds the job.
    std::shared_ptr<LiveJob> liveJob_;
    bool journalled_ = false;
};

} // namespace fr
