#pragma once

#include "window/Page.h"
#include "window/ProgressSpeed.h"
#include "window/WorkerReports.h"

#include <QStringList>
#include <memory>

namespace fr {

class JobControls;
class MediumEx;
struct MediumOutcome;
class TForm1;
struct ProgramContext;

// The whole-medium page: every file of a drive that matches the chosen file type, rescued into
// one destination folder with its folders kept. The job is never journalled.
class WholeMediumPage : public Page {
    Q_OBJECT
public:
    WholeMediumPage(TForm1& form, ProgramContext& context, JobControls& jobControls);
    ~WholeMediumPage() override;

    // The start action. Returns whether the job started (also when it had no file to copy and
    // ended at once).
    bool celydisk();

private:
    // Whether the user still wants to copy onto the destination's medium, which the register
    // of damaged media may list (once for every entry with its serial number).
    bool destinationAccepted(QChar letter);
    void startWorker(const QStringList& files, const QString& folder);
    // Ends a previous job's worker (its own stop flag) and waits for its thread.
    void retireWorker();
    // The worker's end, on the main thread: the end actions in order.
    void workerEnded(const MediumOutcome& outcome, const QString& firstFile);

    TForm1& form_;
    ProgramContext& context_;
    JobControls& jobControls_;
    std::unique_ptr<MediumEx> worker_;
    ProgressSpeed progressSpeed_;
    // Bytes of the files done before the current one, and the current one's size: the speed
    // runs over the whole job, the time left is the current file's, as the gauge shows it.
    std::int64_t bytesBefore_ = 0;
    std::int64_t fileSize_ = 0;
    // Reports of a retired worker that arrive late are not for the job now running.
    WorkerReports reports_{*this};
};

} // namespace fr
