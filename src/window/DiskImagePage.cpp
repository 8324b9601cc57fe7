#include "window/DiskImagePage.h"

#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "core/RecordText.h"
#include "disk/ImageEx.h"
#include "disk/ImageRaw.h"
#include "disk/ImageVolume.h"
#include "platform/DestinationLock.h"
#include "platform/DriveMap.h"
#include "platform/FileIdentity.h"
#include "platform/MountTable.h"
#include "platform/Prompts.h"
#include "platform/ShownPath.h"
#include "platform/TypedPath.h"
#include "rescue/JournalEntry.h"
#include "rescue/OutputTarget.h"
#include "rescue/RegisterRecord.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/PieGauge.h"
#include "window/JobControls.h"
#include "window/TForm1.h"
#include "window/WorkerReports.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <functional>

namespace fr {

namespace {

// The journal counts sectors in 32 bits.

void setBold(FlatButton* button, bool bold) {
    QFont font = button->font();
    font.setBold(bold);
    button->setFont(font);
}

} // namespace

DiskImagePage::DiskImagePage(TForm1& form, ProgramContext& context, JobControls& jobControls)
    : Page(form, form.SpeedButton8), form_(form), context_(context), jobControls_(jobControls),
      progressSpeed_(*form.Gauge1, context), jobMap_(form, context) {
    form_.setHandler(PageAction::StartImage, [this] { Imagg(false); });
    connect(form_.SpeedButton32, &FlatButton::clicked, this, &DiskImagePage::SpeedButton32Click);
    connect(form_.SpeedButton33, &FlatButton::clicked, this, &DiskImagePage::SpeedButton33Click);
}

DiskImagePage::~DiskImagePage() {
    retireWorker();
}

void DiskImagePage::retireWorker() {
    if (!worker_)
        return;
    worker_->stop();
    worker_->wait();
    worker_.reset();
}

bool DiskImagePage::mediumToImage() const {
    return form_.SpeedButton32->font().bold();
}

void DiskImagePage::SpeedButton32Click() {
    setBold(form_.SpeedButton32, true);
    setBold(form_.SpeedButton33, false);
    form_.Label6->setText(context_.text(144));
    form_.Label2->setText(context_.text(54));
}

void DiskImagePage::SpeedButton33Click() {
    setBold(form_.SpeedButton33, true);
    setBold(form_.SpeedButton32, false);
    form_.Label6->setText(context_.text(145));
    form_.Label2->setText(context_.text(146));
}

bool DiskImagePage::resume(JournalPage::ImageDirection direction, QChar drive,
                           const QString& imageFile) {
    form_.SpeedButton9Click(form_.SpeedButton8);
    form_.DriveComboBox1->setDrive(drive);
    form_.Edit2->setText(imageFile);
    if (direction == JournalPage::ImageDirection::ImageToMedium)
        SpeedButton33Click();
    return Imagg(true);
}

bool DiskImagePage::Imagg(bool resume) {
    return mediumToImage() ? startMediumToImage(resume) : startImageToMedium(resume);
}

QString DiskImagePage::imageField() {
    const QString image =
        typedPathToDriveForm(form_.Edit2->text(), DriveMap::build(context_.programDir));
    form_.Edit2->setText(image);
    return image;
}

// The journal's name of the medium in `letter`: its code ("EE"), or, for a job resumed from an
// entry that named the medium by its device, that name again, so that the resumed job keeps
// its identity and finds the map its earlier runs left.
QString DiskImagePage::mediumName(QChar letter, const QString& journalled, bool resume,
                                  const DriveMap& drives) const {
    if (resume && JournalEntry::isDeviceCode(journalled) &&
        JournalEntry::driveOfMedium(journalled, drives) == letter)
        return journalled;
    return QString(2, letter);
}

bool DiskImagePage::registerAccepted(QChar letter) {
    const QString serial =
        RegisterRecord::serialTextOf(context_.disk.GetMediaIdentifier(letter).SerialNumber);
    for (const RegisterRecord& entry : RegisterFile(context_).readAll().records)
        if (entry.serialText == serial && !context_.prompts.confirm(context_.text(178)))
            return false;
    return true;
}

bool DiskImagePage::startMediumToImage(bool resume) {
    const QChar source = form_.DriveComboBox1->drive();
    const TMediaIdentifier medium = context_.disk.GetMediaIdentifier(source);
    if (medium.VolumeLabel.toUpper() == QLatin1String("AUDIO CD") &&
        medium.FileSystemName.toUpper() == QLatin1String("CDFS")) {
        context_.prompts.information(context_.text(223)); // audio has no sectors to image
        return false;
    }
    const QString image = imageField();
    if (image.isEmpty()) {
        context_.prompts.information(context_.text(133));
        return false;
    }
    const DriveMap drives = DriveMap::build(context_.programDir);
    const QString nativeImage = drives.toNative(image);
    const ImageVolume volume = ImageVolume::ofDrive(drives, source);
    // The image may not be written onto the medium being read: not under its own letter, nor
    // under another letter or link over the same sectors.
    if (image.front().toUpper() == source || liesOnVolume(nativeImage, volume.device)) {
        context_.prompts.information(context_.text(135));
        return false;
    }
    // The journal keeps the path in 255 bytes; a cut one would resume into another file.
    if (!RecordText::fits(image)) {
        context_.prompts.error(context_.text(230));
        return false;
    }
    context_.disk.GetDriveInfo(image.left(1).toUpper(), context_.driveInfo);
    // An image being replaced or resumed gives its own bytes back to the job.
    const QFileInfo existing(nativeImage);
    const std::uint64_t reused = existing.isFile() ? static_cast<quint64>(existing.size()) : 0;
    if (context_.driveInfo.FreeBytes + reused < volume.bytes()) {
        context_.prompts.information(context_.text(147));
        return false;
    }
    if (!registerAccepted(image.front().toUpper()))
        return false;
    if (isProgramFile(nativeImage, context_.programDir)) {
        context_.prompts.error(context_.text(kTextOutputIsProgramFile) + '\r' + image);
        return false;
    }
    // Another job writing this image would lose its work to this one.
    if (destinationInUse(nativeImage)) {
        context_.prompts.error(context_.text(270) + '\r' + image);
        return false;
    }
    if (existing.exists() && !context_.prompts.confirm(context_.text(179)))
        return false;
    CopyJob& job = context_.copyJob;
    if (!resume) {
        QFile file(nativeImage);
        if (nativeImage.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            context_.prompts.information(context_.text(134));
            return false;
        }
        job.position = 0;
    }

    retireWorker();
    job.sourceName = mediumName(source, job.sourceName, resume, drives);
    job.destinationName = image;
    job.totalSize = volume.sectors;
    return startJob<ImageEx>(volume, nativeImage, true, resume);
}

bool DiskImagePage::startImageToMedium(bool resume) {
    const QChar target = form_.DriveComboBox1->drive();
    const QString image = imageField();
    const DriveMap drives = DriveMap::build(context_.programDir);
    const QString nativeImage = drives.toNative(image);
    if (image.isEmpty() || kindOf(nativeImage) != FileKind::Regular) {
        context_.prompts.information(context_.text(148));
        return false;
    }
    const ImageVolume volume = ImageVolume::ofDrive(drives, target);
    if (image.front().toUpper() == target || liesOnVolume(nativeImage, volume.device)) {
        context_.prompts.information(context_.text(135));
        return false;
    }
    if (!RecordText::fits(image)) {
        context_.prompts.error(context_.text(230));
        return false;
    }
    // The image is only read: a read-only one (on a disc, a read-only mount) is restored as it
    // is, and its permissions are left alone.
    const auto imageBytes = static_cast<std::uint64_t>(QFileInfo(nativeImage).size());
    context_.disk.GetDriveInfo(image.left(1).toUpper(), context_.driveInfo);
    if (volume.bytesPerSector == 0 || volume.bytes() < imageBytes) {
        context_.prompts.information(context_.text(149));
        return false;
    }
    if (!registerAccepted(target))
        return false;
    if (destinationInUse(volume.device)) {
        context_.prompts.error(context_.text(270) + QStringLiteral("\r%1:").arg(target));
        return false;
    }
    // Every sector of the medium is about to be replaced.
    if (!context_.prompts.confirm(context_.text(227)))
        return false;
    // Sectors written under a mounted file system would corrupt it, and it them.
    QString why;
    if (VolumeMounts::holdsRootFileSystem(volume.device) ||
        (VolumeMounts::isMounted(volume.device) && !VolumeMounts::unmount(volume.device, &why)) ||
        VolumeMounts::inUse(volume.device, &why)) {
        context_.prompts.error(context_.text(233) + (why.isEmpty() ? QString() : '\r' + why));
        return false;
    }

    retireWorker();
    CopyJob& job = context_.copyJob;
    if (!resume)
        job.position = 0;
    job.sourceName = image;
    job.destinationName = mediumName(target, job.destinationName, resume, drives);
    // A trailing partial sector of the image is not written.
    job.totalSize = imageBytes / volume.bytesPerSector;
    return startJob<ImageRaw>(volume, nativeImage, false, resume);
}

template <typename Worker>
bool DiskImagePage::startJob(const ImageVolume& volume, const QString& nativeImage, bool toImage,
                             bool resume) {
    CopyJob& job = context_.copyJob;
    // A resumed job keeps its start, which names its map: good data first may have read much
    // of the medium while the position still stood at 0.
    if (job.position == 0 && !resume)
        job.stampStart(QDateTime::currentDateTime());
    context_.errorMarker.clear();
    form_.Gauge1->setProgress(0);
    jobControls_.jobStarted();
    // Without its map and record on disk a crash would cost the whole run: it does not start.
    std::shared_ptr<LiveJob> live = jobControls_.beginLiveJob(
        static_cast<std::int64_t>(job.totalSize) * volume.bytesPerSector, volume.bytesPerSector);
    if (!live) {
        jobControls_.jobEnded();
        return false;
    }
    bytesPerSector_ = volume.bytesPerSector;
    runStart_ = job.position;
    // Until the job reports its map, what earlier runs of it learnt.
    const ByteRange none{std::int64_t(runStart_) * bytesPerSector_,
                         std::int64_t(runStart_) * bytesPerSector_};
    jobMap_.start(mapWindowJob(
        toImage,
        RescueMap::withRun(
            live->earlier(),
            RescueMap::ofRun(std::int64_t(job.totalSize) * bytesPerSector_, none, {}), none)));
    ImageSetup setup{volume.device, nativeImage,         volume.bytesPerSector, job.position.load(),
                     job.totalSize, context_.jobSignals, context_.platform,     std::move(live)};
    progressSpeed_.start(std::int64_t(runStart_) * bytesPerSector_);
    worker_ = std::make_unique<Worker>(std::move(setup), hooks(toImage));
    worker_->start();
    return true;
}

ImageHooks DiskImagePage::hooks(bool toImage) {
    const WorkerReports::Job reports = reports_.newJob();
    const auto current = reports.current;
    ImageHooks hooks;
    hooks.post = reports.post;
    hooks.progress = [this, current](int percent, std::uint64_t position) {
        if (!current())
            return;
        // A stop journals the position last reported, never one beyond what is written.
        context_.copyJob.position = position;
        progressSpeed_.show(percent, jobMap_.settledBytes(std::int64_t(position) * bytesPerSector_),
                            std::int64_t(context_.copyJob.totalSize) * bytesPerSector_,
                            worker_ ? worker_->failedReads() : 0, jobMap_.damagedArea());
    };
    hooks.mapped = [this, current](const RescueMap& map, bool damagedArea) {
        if (current())
            jobMap_.report(map, damagedArea);
    };
    hooks.ended = [this, current, toImage](const ImageOutcome& outcome) {
        if (current())
            workerEnded(outcome, toImage);
    };
    return hooks;
}

AreaMapWindow::Job DiskImagePage::mapWindowJob(bool toImage, const RescueMap& known) const {
    const CopyJob& job = context_.copyJob;
    return {
        known,
        toImage ? job.sourceName.left(1) + ':' : job.sourceName,
        toImage
            ? QStringLiteral("image %1: to %2").arg(job.sourceName.left(1), job.destinationName)
            : QStringLiteral("restore %1 to %2:").arg(job.sourceName, job.destinationName.left(1)),
        QDateTime(job.startDay(), job.startTimeOfDay()),
        // The map is never saved over the image it describes.
        {DriveMap::build(context_.programDir)
             .toNative(toImage ? job.destinationName : job.sourceName)}};
}

void DiskImagePage::workerEnded(const ImageOutcome& outcome, bool toImage) {
    CopyJob& job = context_.copyJob;
    job.position = outcome.position;
    progressSpeed_.stop();
    const std::int64_t sector = bytesPerSector_;
    jobMap_.end(RescueMap::ofRun(job.totalSize * sector,
                                 {runStart_ * sector, std::int64_t(outcome.position) * sector},
                                 outcome.unreadableAreas),
                !outcome.unreadableAreas.empty());
    if (!outcome.failure.isEmpty()) {
        // The page stays running until the user stops it, which journals the position.
        jobControls_.jobFailed();
        const QString nativeImage = DriveMap::build(context_.programDir)
                                        .toNative(toImage ? job.destinationName : job.sourceName);
        context_.prompts.error(context_.text(226) +
                               withShownPath(outcome.failure, nativeImage, context_.programDir));
        return;
    }
    // A medium that failed to read is named by its single letter once the image is done. A
    // stopped job keeps the doubled letter: its journal entry must still read as a drive.
    if (outcome.readFailed && toImage && outcome.position >= job.totalSize)
        job.sourceName = job.sourceName.left(1);
    if (outcome.unwrittenSectors > 0)
        context_.prompts.error(context_.text(228) + ' ' +
                               QString::number(outcome.unwrittenSectors));
    if (outcome.mediumGone)
        jobControls_.jobLostMedium();
    jobControls_.jobCompleted(outcome.readFailed);
    if (outcome.mediumGone)
        context_.prompts.warning(context_.text(262));
}

} // namespace fr
