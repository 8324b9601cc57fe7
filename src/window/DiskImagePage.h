#pragma once

#include "window/JournalPage.h"
#include "window/Page.h"
#include "window/ProgressSpeed.h"
#include "window/RunningJobMap.h"
#include "window/WorkerReports.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace fr {

class DriveMap;

struct ImageVolume;

class ImageWorker;
class JobControls;
class TForm1;
struct ImageHooks;
struct ImageOutcome;
struct ProgramContext;

// The disk-image page: a whole medium into an image file, or an image file back onto a
// medium, sector by sector below the file system. A stopped job is journalled with the drive
// letter written twice and resumes from the journal.
class DiskImagePage : public Page {
    Q_OBJECT
public:
    DiskImagePage(TForm1& form, ProgramContext& context, JobControls& jobControls);
    ~DiskImagePage() override;

    // The start action, in the direction the page shows; resume is set when the journal
    // resumes an entry it has loaded into the job. Returns whether the job started.
    bool Imagg(bool resume = false);
    void SpeedButton32Click(); // medium to image
    void SpeedButton33Click(); // image to medium
    // Medium to image while its button is shown in bold type.
    bool mediumToImage() const;

    // The journal's resume of an image job: the page shown with the entry's drive, image file
    // and direction, then started at the journalled position.
    bool resume(JournalPage::ImageDirection direction, QChar drive, const QString& imageFile);

private:
    bool startMediumToImage(bool resume);
    bool startImageToMedium(bool resume);
    // Whether the user still wants to write onto the medium in this drive, which the register
    // of damaged media may list (asked once for every entry with its serial number).
    bool registerAccepted(QChar letter);
    QString mediumName(QChar letter, const QString& journalled, bool resume,
                       const DriveMap& drives) const;
    // The image file typed in the field, in drive form (the field shows it so).
    QString imageField();
    // The reports of the job about to start, to the main thread; toImage: medium to image.
    // The job's common start: dates, marker, gauge, the controls, its map and record on disk,
    // then the worker. False when the map and record cannot be written: the job does not start.
    template <typename Worker>
    bool startJob(const ImageVolume& volume, const QString& nativeImage, bool toImage, bool resume);
    ImageHooks hooks(bool toImage);
    // How the map window names the job about to start and what its map is never saved over.
    AreaMapWindow::Job mapWindowJob(bool toImage, const RescueMap& known) const;
    void retireWorker();
    void workerEnded(const ImageOutcome& outcome, bool toImage);

    TForm1& form_;
    ProgramContext& context_;
    JobControls& jobControls_;
    std::unique_ptr<ImageWorker> worker_;
    ProgressSpeed progressSpeed_;
    RunningJobMap jobMap_;
    // The running job's sector size and first sector: its map and speed are kept in bytes.
    std::uint32_t bytesPerSector_ = 512;
    std::int64_t runStart_ = 0;
    // Reports of a retired worker that arrive late are not for the job now running.
    WorkerReports reports_{*this};
};

} // namespace fr
