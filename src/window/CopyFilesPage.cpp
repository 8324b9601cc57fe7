#include "window/CopyFilesPage.h"

#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "platform/DriveMap.h"
#include "platform/FileAttributes.h"
#include "platform/FileDialogs.h"
#include "platform/Platform.h"
#include "platform/Prompts.h"
#include "platform/ShownPath.h"
#include "platform/TypedPath.h"
#include "rescue/CopyStartCheck.h"
#include "rescue/KopirovanieEex.h"
#include "rescue/OutputTarget.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FlatButton.h"
#include "widgets/PictureCheckBox.h"
#include "widgets/PieGauge.h"
#include "window/JobControls.h"
#include "window/TForm1.h"
#include "window/WorkerReports.h"

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <cmath>
#include <functional>

namespace fr {

namespace {

// The checks before a copy speak through the page's message boxes, with the texts alone, or
// with the file in drive form where the text is about one file.
class PageDialogue : public CopyStartDialogue {
public:
    explicit PageDialogue(ProgramContext& context) : context_(context) {}

    void refused(int text, const QString& file, const QString&) override {
        // One file as both source and destination is a note; the rest are errors.
        if (text == 175)
            context_.prompts.information(context_.text(text));
        else if (text == kTextOutputIsProgramFile || text == kTextDestinationInUse)
            context_.prompts.error(context_.text(text) + '\r' +
                                   shownPath(file, context_.programDir));
        else
            context_.prompts.error(context_.text(text));
    }
    bool replaceExisting(const QString&, bool, bool) override {
        return context_.prompts.confirm(context_.text(63));
    }
    bool useRegisteredMedium(const QString&) override {
        return context_.prompts.show(PromptKind::Warning, context_.text(131),
                                     PromptButtons::YesNo) != PromptAnswer::No;
    }
    void failed(int text, const QString&, const QString&) override {
        context_.prompts.error(context_.text(text));
    }

private:
    ProgramContext& context_;
};

} // namespace

CopyFilesPage::CopyFilesPage(TForm1& form, ProgramContext& context, JobControls& jobControls)
    : Page(form, form.SpeedButton1), form_(form), context_(context), jobControls_(jobControls),
      progressSpeed_(*form.Gauge1, context), jobMap_(form, context) {
    form_.setHandler(PageAction::StartCopy, [this] { SpeedButton13Click(false); });
    form_.setHandler(PageAction::BrowseSource, [this] { Image3Click(); });
    form_.setHandler(PageAction::BrowseDestination, [this] { Image4Click(); });
    connect(form_.DropFileTarget1, &FileDropTarget::dropped, this,
            &CopyFilesPage::DropFileTarget1Drop);
    connect(form_.CheckBox3, &PictureCheckBox::mousePressed, this,
            &CopyFilesPage::CheckBox3MouseDown);
    connect(form_.checkbox6, &PictureCheckBox::mousePressed, this,
            &CopyFilesPage::checkbox6MouseDown);
}

CopyFilesPage::~CopyFilesPage() {
    retireEngine();
}

void CopyFilesPage::retireEngine() {
    if (!engine_)
        return;
    engine_->stop();
    engine_->wait();
    engine_.reset();
}

QString CopyFilesPage::megabytes(quint64 bytes) {
    const double value = bytes / 1048576.0;
    const QLocale locale;
    if (value == 0)
        return locale.toString(0.0, 'f', 2);
    // Two significant digits.
    const double magnitude = std::pow(10.0, std::floor(std::log10(value)) - 1);
    const double rounded = std::round(value / magnitude) * magnitude;
    if (rounded >= 100)
        return locale.toString(rounded, 'E', 1);
    return locale.toString(rounded, 'f', 2);
}

bool CopyFilesPage::SpeedButton13Click(bool resume) {
    CopyJob& job = context_.copyJob;
    if (resume) {
        form_.Edit1->setText(job.sourceName);
        form_.Edit2->setText(job.destinationName);
    }
    const DriveMap drives = DriveMap::build(context_.programDir);
    // A typed native path, or one with "." and "..", is checked and journalled in the drive
    // form a chosen or dropped path has; the fields show what the checks saw.
    form_.Edit1->setText(typedPathToDriveForm(form_.Edit1->text(), drives));
    form_.Edit2->setText(typedPathToDriveForm(form_.Edit2->text(), drives));
    const QString source = form_.Edit1->text();
    const QString destination = form_.Edit2->text();
    PageDialogue dialogue(context_);
    CopyStart start;
    if (!checkCopyStart(context_, drives, source, destination, resume, dialogue, &start))
        return false;
    if (!resume)
        job.position = 0;
    const QString& nativeSource = start.nativeSource;
    const QString& nativeDestination = start.nativeDestination;
    const quint64 sourceSize = start.sourceSize;

    retireEngine();
    job.sourceName = source;
    job.destinationName = destination;
    jobControls_.jobStarted();
    resetEX(nativeSource);
    form_.Label4->setText(context_.text(41) + megabytes(sourceSize) + QStringLiteral(" Mb"));
    job.totalSize = sourceSize;
    context_.errorMarker.clear();
    // A resumed copy keeps its start, which names its map: good data first may have read much
    // of the source while the position still stood at 0.
    if (job.position == 0 && !resume)
        job.stampStart(QDateTime::currentDateTime());
    // Without its map and record on disk a crash would cost the whole run: it does not start.
    std::shared_ptr<LiveJob> live =
        jobControls_.beginLiveJob(static_cast<std::int64_t>(job.totalSize), 1);
    if (!live) {
        jobControls_.jobEnded();
        return false;
    }
    startEngine(nativeSource, nativeDestination, std::move(live));
    return true;
}

void CopyFilesPage::Image3Click() {
    // The secure-deletion page has the only 140-pixel action button.
    const bool secureDeletion = form_.SpeedButton12->width() == 140;
    const QString chosen =
        context_.fileDialogs->openFile(context_.text(secureDeletion ? 152 : 31), QString());
    if (chosen.isEmpty())
        return;
    const QString path = typedPathToDriveForm(chosen, DriveMap::build(context_.programDir));
    (secureDeletion ? form_.Edit2 : form_.Edit1)->setText(path);
}

void CopyFilesPage::Image4Click() {
    QString preset;
    if (form_.Label1->text().toUpper() == context_.text(3).toUpper()) {
        const QString source = form_.Edit1->text();
        preset = source.mid(source.lastIndexOf('\\') + 1);
    }
    int filterEntry = 0;
    const QString chosen = context_.fileDialogs->saveFile(
        form_.SaveDialog1.title, form_.SaveDialog1.filter, preset, &filterEntry);
    if (chosen.isEmpty())
        return;
    // The disk-image page's filter chooses the image extension.
    if (form_.SaveDialog1.filter == context_.text(55) + context_.text(155) && filterEntry >= 1 &&
        filterEntry <= 2)
        context_.mediumImageExtension =
            filterEntry == 1 ? QStringLiteral(".ima") : QStringLiteral(".iso");
    QString path = typedPathToDriveForm(chosen, DriveMap::build(context_.programDir));
    if (!path.endsWith(QLatin1String(".ima")) && !path.endsWith(QLatin1String(".iso")))
        path += context_.mediumImageExtension;
    form_.Edit2->setText(path);
}

void CopyFilesPage::DropFileTarget1Drop(const QStringList& paths) {
    if (paths.size() == 1) {
        form_.Edit1->setText(
            typedPathToDriveForm(paths.front(), DriveMap::build(context_.programDir)));
        return;
    }
    context_.prompts.information(context_.text(221) + '\r' + '\r' + context_.text(222));
}

void CopyFilesPage::CheckBox3MouseDown() {
    if (form_.CheckBox3->isChecked() && form_.checkbox6->isChecked())
        form_.checkbox6->setChecked(false);
}

void CopyFilesPage::checkbox6MouseDown() {
    if (form_.CheckBox3->isChecked() && form_.checkbox6->isChecked())
        form_.CheckBox3->setChecked(false);
}

void CopyFilesPage::startEngine(const QString& nativeSource, const QString& nativeDestination,
                                std::shared_ptr<LiveJob> live) {
    const WorkerReports::Job reports = reports_.newJob();
    const auto current = reports.current;
    KopirovanieEexHooks hooks;
    hooks.post = reports.post;
    hooks.progress = [this, current](int percent, std::uint64_t position) {
        if (!current())
            return;
        context_.copyJob.position = position;
        progressSpeed_.show(percent, jobMap_.settledBytes(position), context_.copyJob.totalSize,
                            engine_ ? engine_->readCounts().failedReads : 0, jobMap_.damagedArea());
    };
    hooks.mapped = [this, current](const RescueMap& map, bool damagedArea) {
        if (current())
            jobMap_.report(map, damagedArea);
    };
    hooks.ended = [this, current](const CopyOutcome& outcome) {
        if (current())
            engineEnded(outcome);
    };
    const CopyJob& job = context_.copyJob;
    runStart_ = job.position;
    // Until the copy reports its map, what earlier runs of it learnt.
    const ByteRange none{runStart_, runStart_};
    const RescueMap known =
        RescueMap::withRun(live->earlier(), RescueMap::ofRun(job.totalSize, none, {}), none);
    // The map is never saved over the files of the copy it describes.
    const DriveMap drives = DriveMap::build(context_.programDir);
    jobMap_.start({known,
                   job.sourceName,
                   QStringLiteral("copy %1 to %2").arg(job.sourceName, job.destinationName),
                   QDateTime(job.startDay(), job.startTimeOfDay()),
                   {drives.toNative(job.sourceName), drives.toNative(job.destinationName)}});
    KopirovanieEex::Setup setup{
        context_.copyJob,  context_.jobSignals, context_.fillBuffers, context_.settings.fillMode,
        context_.platform, nativeSource,        nativeDestination,    std::move(live)};
    progressSpeed_.start(runStart_);
    engine_ = std::make_unique<KopirovanieEex>(std::move(setup), std::move(hooks));
    engine_->start();
}

void CopyFilesPage::engineEnded(const CopyOutcome& outcome) {
    const CopyJob& job = context_.copyJob;
    context_.copyJob.position = outcome.position;
    progressSpeed_.stop();
    jobMap_.end(RescueMap::ofRun(job.totalSize, {runStart_, std::int64_t(outcome.position)},
                                 outcome.filledAreas),
                !outcome.filledAreas.empty());
    if (!outcome.failure.isEmpty()) {
        jobControls_.jobFailed();
        context_.prompts.error(context_.text(226) + outcome.failure); // could not be written
        return;
    }
    if (outcome.mediumGone)
        jobControls_.jobLostMedium();
    jobControls_.jobCompleted(outcome.readFailed);
    if (outcome.mediumGone)
        context_.prompts.warning(context_.text(262));
    if (outcome.sourceDeletion == SourceDeletion::Kept)
        context_.prompts.warning(context_.text(261));
    else if (outcome.sourceDeletion == SourceDeletion::Failed)
        context_.prompts.error(job.sourceName + QStringLiteral(": ") + outcome.deletionFailure);
}

} // namespace fr
