#include "window/WholeMediumPage.h"

#include "core/ProgramContext.h"
#include "platform/DriveMap.h"
#include "platform/FileIdentity.h"
#include "platform/FileName.h"
#include "platform/Prompts.h"
#include "platform/TypedPath.h"
#include "rescue/FileCollector.h"
#include "rescue/MediumEx.h"
#include "rescue/RegisterRecord.h"
#include "widgets/DriveComboBox.h"
#include "widgets/PieGauge.h"
#include "window/JobControls.h"
#include "window/TForm1.h"
#include "window/WorkerReports.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLineEdit>
#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace fr {

namespace {

// The largest file the rescue copy can count in its 32-bit position, with room for a last
// fill block.
// How many files or folders a message lists.
constexpr qsizetype kFoldersShown = 20;

// Whether a file can be made in the folder. The probe has a name of its own that no file of
// the folder can already have, so nothing there is ever replaced; it is removed again.
bool writable(const QString& nativeFolder) {
    if (nativeFolder.isEmpty())
        return false;
    // Made by its bytes: the folder's name need not be UTF-8.
    QByteArray probe = fileNameBytes(nativeFolder) + "/.fragmentrove-write-test-XXXXXX";
    const int file = ::mkstemp(probe.data());
    if (file < 0)
        return false;
    ::close(file);
    ::unlink(probe.constData());
    return true;
}

// The first lines of a list for a message box; a badly damaged medium can give hundreds.
QString firstOf(const QStringList& lines) {
    QStringList shown = lines.mid(0, kFoldersShown);
    if (lines.size() > kFoldersShown)
        shown.append(QStringLiteral("..."));
    return shown.join('\r');
}

} // namespace

WholeMediumPage::WholeMediumPage(TForm1& form, ProgramContext& context, JobControls& jobControls)
    : Page(form, form.SpeedButton3), form_(form), context_(context), jobControls_(jobControls),
      progressSpeed_(*form.Gauge1, context) {
    form_.setHandler(PageAction::StartWholeMedium, [this] { celydisk(); });
}

WholeMediumPage::~WholeMediumPage() {
    retireWorker();
}

void WholeMediumPage::retireWorker() {
    if (!worker_)
        return;
    worker_->stop();
    worker_->wait();
    worker_.reset();
}

bool WholeMediumPage::destinationAccepted(QChar letter) {
    const QString serial =
        RegisterRecord::serialTextOf(context_.disk.GetMediaIdentifier(letter).SerialNumber);
    for (const RegisterRecord& entry : RegisterFile(context_).readAll().records) {
        if (entry.serialText != serial)
            continue;
        // The destination medium is listed as damaged.
        if (context_.prompts.show(PromptKind::Warning, context_.text(131), PromptButtons::YesNo) ==
            PromptAnswer::No)
            return false;
    }
    return true;
}

bool WholeMediumPage::celydisk() {
    const QString typed = form_.Edit2->text();
    if (typed.isEmpty()) {
        context_.prompts.information(context_.text(108)); // no destination folder
        return false;
    }
    const DriveMap drives = DriveMap::build(context_.programDir);
    // A typed native folder, or one with "." and "..", is taken in the drive form a chosen
    // folder has, keeping the closing separator that marks it as a folder.
    QString folder = typedPathToDriveForm(typed, drives);
    if ((typed.endsWith('/') || typed.endsWith('\\')) && !folder.endsWith('\\'))
        folder += '\\';
    form_.Edit2->setText(folder);
    if (!folder.endsWith('\\')) {
        context_.prompts.information(context_.text(162)); // must end with "\"
        return false;
    }
    const QString nativeFolder = drives.toNative(folder);
    const QChar letter = form_.DriveComboBox1->drive();
    const QString root = letter.isNull() ? QString() : QString(letter) + QStringLiteral(":\\");
    const QString nativeRoot = root.isEmpty() ? QString() : drives.toNative(root);
    // The drive's root as the destination (also under another letter or through a link) would
    // copy every file onto itself: fill blocks would overwrite the very bytes they stand for.
    if (sameFile(nativeRoot, nativeFolder)) {
        context_.prompts.information(context_.text(175));
        return false;
    }
    if (!writable(nativeFolder)) {
        context_.prompts.information(context_.text(184)); // cannot write there
        return false;
    }
    if (!destinationAccepted(folder.front()))
        return false;

    QString mask = form_.FilterComboBox1->currentData().toString();
    if (mask.isEmpty())
        mask = QStringLiteral("*.*");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const CollectedFiles collected = collectFiles(root, nativeRoot, mask);
    QApplication::restoreOverrideCursor();

    // Folders of a damaged medium that could not be read: what they hold is not copied, and
    // the user should know before the job starts.
    if (!collected.unreadableFolders.isEmpty()) {
        context_.prompts.warning(firstOf(collected.unreadableFolders));
    }
    if (collected.files.isEmpty())
        context_.prompts.information(context_.text(182)); // the job starts and ends at once

    retireWorker();
    CopyJob& job = context_.copyJob;
    job.sourceName = collected.files.value(0);
    job.destinationName.clear();
    job.position = 0;
    job.totalSize = 0;
    job.stampStart(QDateTime::currentDateTime());
    context_.errorMarker.clear();
    form_.Gauge1->setProgress(0);
    jobControls_.jobStarted();
    startWorker(collected.files, folder);
    return true;
}

void WholeMediumPage::startWorker(const QStringList& files, const QString& folder) {
    const WorkerReports::Job reports = reports_.newJob();
    const auto current = reports.current;
    MediumExHooks hooks;
    hooks.post = reports.post;
    hooks.fileStarted = [this, current](const QString& source, const QString& destination,
                                        std::uint64_t size) {
        if (!current())
            return;
        CopyJob& job = context_.copyJob;
        job.sourceName = source;
        job.destinationName = destination;
        job.totalSize = size;
        job.position = 0;
        bytesBefore_ += fileSize_;
        fileSize_ = size;
        form_.Edit1->setText(source);
        form_.Edit2->setText(destination);
        form_.Gauge1->setProgress(0);
    };
    hooks.progress = [this, current](int percent, std::uint64_t position) {
        if (!current())
            return;
        context_.copyJob.position = position;
        progressSpeed_.show(percent, bytesBefore_ + position, bytesBefore_ + fileSize_,
                            worker_ ? worker_->failedReads() : 0);
    };
    hooks.ended = [this, current, first = files.value(0)](const MediumOutcome& outcome) {
        if (current())
            workerEnded(outcome, first);
    };
    MediumEx::Setup setup{files,
                          folder,
                          DriveMap::build(context_.programDir),
                          context_.jobSignals,
                          context_.fillBuffers,
                          context_.settings.fillMode,
                          context_.platform,
                          context_.programDir};
    bytesBefore_ = 0;
    fileSize_ = 0;
    progressSpeed_.start(0);
    worker_ = std::make_unique<MediumEx>(std::move(setup), std::move(hooks));
    worker_->start();
}

void WholeMediumPage::workerEnded(const MediumOutcome& outcome, const QString& firstFile) {
    progressSpeed_.stop();
    if (!outcome.failure.isEmpty()) {
        // The page stays running, showing the file that failed, until the user stops it.
        jobControls_.jobFailed();
        context_.prompts.error(context_.text(226) + outcome.failure);
        return;
    }
    // All files come from one drive: the first one names the medium to register.
    if (outcome.readFailed)
        context_.copyJob.sourceName = firstFile;
    form_.Edit2->clear();
    if (outcome.mediumGone)
        jobControls_.jobLostMedium();
    jobControls_.jobCompleted(outcome.readFailed);
    if (outcome.mediumGone)
        context_.prompts.warning(context_.text(262));
    if (!outcome.keptSources.isEmpty())
        context_.prompts.warning(context_.text(261) + '\r' + firstOf(outcome.keptSources));
    if (!outcome.undeletedSources.isEmpty())
        context_.prompts.error(firstOf(outcome.undeletedSources));
}

} // namespace fr
