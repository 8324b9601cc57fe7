#pragma once

#include "window/JobControl.h"

#include <QObject>

namespace fr {

class TForm1;
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

    // The start of a job: the start button disabled (the job runs), pause enabled and
    // showing "pause", the commands disabled, the monitor started.
    void jobStarted();
    // The worker's end, on the main thread: the page returns to idle.
    void jobEnded();

    void SpeedButton14Click(); // pause and continue
    void SpeedButton15Click(); // stop
    void Timer2Timer();        // the job monitor, every half second while a job runs
    void stopMonitor();

    // The end-of-job report: what was copied, where, how much, from when to when.
    QString report() const;

private:
    void offerRegistration();

    TForm1& form_;
    ProgramContext& context_;
};

} // namespace fr
