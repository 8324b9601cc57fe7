#pragma once

#include "window/Page.h"
#include "window/ProgressSpeed.h"
#include "window/RunningJobMap.h"
#include "window/WorkerReports.h"

#include <QStringList>
#include <memory>

namespace fr {

class LiveJob;

class JobControls;
class KopirovanieEex;
struct CopyOutcome;
class TForm1;
struct ProgramContext;

// The copy-files page: a source and a destination file, four options, and the start of a
// rescue copy; also the browse actions for a source and a destination that other pages
// share, and the files dropped on the window.
class CopyFilesPage : public Page {
    Q_OBJECT
public:
    CopyFilesPage(TForm1& form, ProgramContext& context, JobControls& jobControls);
    ~CopyFilesPage() override;

    // The start action; resume is set when the journal resumes its selected entry, which it
    // has loaded into the job. Returns whether the job started.
    bool SpeedButton13Click(bool resume = false);
    void Image3Click(); // browse for the source
    void Image4Click(); // browse for the destination
    void DropFileTarget1Drop(const QStringList& paths);
    void CheckBox3MouseDown();
    void checkbox6MouseDown();

    // "1.50" for 1.5 MB: two significant digits shown with two decimals, exponent form from
    // 100 on, in the system's number format.
    static QString megabytes(quint64 bytes);

private:
    void startEngine(const QString& nativeSource, const QString& nativeDestination,
                     std::shared_ptr<LiveJob> live);
    // Ends a previous job's worker (its own stop flag) and waits for its thread.
    void retireEngine();
    // The worker's end, on the main thread: its results into the context's job, then the end
    // actions in order.
    void engineEnded(const CopyOutcome& outcome);

    TForm1& form_;
    ProgramContext& context_;
    JobControls& jobControls_;
    std::unique_ptr<KopirovanieEex> engine_;
    ProgressSpeed progressSpeed_;
    RunningJobMap jobMap_;
    // Where the running copy began: bytes before it were handled by an earlier run.
    std::int64_t runStart_ = 0;
    // Reports of a retired worker that arrive late are not for the job now running.
    WorkerReports reports_{*this};
};

} // namespace fr
