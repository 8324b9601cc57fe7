#include "window/JobControls.h"

#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "platform/DriveMap.h"
#include "platform/Platform.h"
#include "platform/Prompts.h"
#include "rescue/RecordFile.h"
#include "rescue/RegisterEntry.h"
#include "rescue/RegisterRecord.h"
#include "widgets/FlatButton.h"
#include "widgets/PictureCheckBox.h"
#include "window/TForm1.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <memory>
#include <utility>

namespace fr {

JobControls::JobControls(TForm1& form, ProgramContext& context)
    : QObject(&form), form_(form), context_(context) {
    connect(form_.SpeedButton14, &FlatButton::clicked, this, &JobControls::SpeedButton14Click);
    connect(form_.SpeedButton15, &FlatButton::clicked, this, &JobControls::SpeedButton15Click);
    connect(form_.Timer2, &QTimer::timeout, this, &JobControls::Timer2Timer);
    // The three boxes are the current job's signals: the job reads them while it runs.
    connect(form_.CheckBox1, &PictureCheckBox::toggled, this,
            [this](bool checked) { context_.jobSignals->deleteSource = checked; });
    connect(form_.CheckBox2, &PictureCheckBox::toggled, this,
            [this](bool checked) { context_.jobSignals->lowPriority = checked; });
    connect(form_.checkbox6, &PictureCheckBox::toggled, this,
            [this](bool checked) { context_.jobSignals->switchOff = checked; });
    form_.SpeedButton14->setEnabled(false);
    form_.setJobControl(this);
}

bool JobControls::jobRunning() const {
    return !form_.SpeedButton13->isEnabled();
}

std::shared_ptr<LiveJob> JobControls::beginLiveJob(std::int64_t bytes, std::int64_t unitBytes) {
    LiveJob::Description description;
    description.job = context_.copyJob;
    description.bytes = bytes;
    description.unitBytes = unitBytes;
    description.createdBy = QStringLiteral("Fragmentrove 3.1");
    QString error;
    std::shared_ptr<LiveJob> live = LiveJob::begin(context_.programDir, description, &error);
    if (!live)
        context_.prompts.error(error);
    liveJob_ = live;
    journalled_ = false;
    return live;
}

void JobControls::jobStarted() {
    auto jobSignals = std::make_shared<JobSignals>();
    jobSignals->deleteSource = form_.CheckBox1->isChecked();
    jobSignals->lowPriority = form_.CheckBox2->isChecked();
    jobSignals->switchOff = form_.checkbox6->isChecked();
    context_.jobSignals = std::move(jobSignals);
    workerRunning_ = true;
    stopPending_ = false;
    stopRecordIndex_ = -1;
    stopRecord_.clear();
    form_.SpeedButton13->setEnabled(false);
    form_.SpeedButton14->setText(context_.text(37));
    form_.SpeedButton14->setEnabled(true);
    form_.znemozni();
    form_.Timer2->start();
}

void JobControls::jobEnded() {
    workerRunning_ = false;
    stopPending_ = false;
    becomeIdle();
    rewriteStopRecord();
    retireLiveJob();
}

void JobControls::retireLiveJob() {
    if (!liveJob_)
        return;
    liveJob_->retire(journalled_);
    liveJob_.reset();
}

CopyJob JobControls::recordedJob() const {
    CopyJob job = context_.copyJob;
    if (liveJob_)
        job.position = std::min(job.position.load(), liveJob_->committedPosition());
    return job;
}

void JobControls::jobCompleted(bool readFailed) {
    // One sequence, with no event in between: the switch-off registers the medium itself, so
    // the monitor stands down before anything can tick it.
    if (readFailed)
        context_.errorMarker.setReadFailed();
    const bool switchOff = context_.jobSignals->switchOff.load();
    if (switchOff)
        stopMonitor();
    jobEnded();
    if (!switchOff)
        return;
    const QString& source = context_.copyJob.sourceName;
    if (readFailed && !source.isEmpty()) {
        const QString error = addRegisterEntry(
            context_, DriveMap::build(context_.programDir).letterOf(source), context_.text(224));
        if (!error.isEmpty())
            context_.prompts.error(error);
    }
    context_.platform.powerOff();
}

void JobControls::jobFailed() {
    workerRunning_ = false;
    if (stopPending_)
        jobEnded();
}

void JobControls::becomeIdle() {
    form_.SpeedButton13->setEnabled(true);
    form_.SpeedButton14->setEnabled(false);
    form_.SpeedButton14->setText(context_.text(37));
    form_.umozni();
}

void JobControls::SpeedButton14Click() {
    if (form_.SpeedButton14->text() == context_.text(37)) {
        form_.SpeedButton14->setText(context_.text(47));
        context_.jobSignals->paused = true;
    } else {
        form_.SpeedButton14->setText(context_.text(37));
        context_.jobSignals->paused = false;
    }
}

void JobControls::SpeedButton15Click() {
    // Already stopping: the job ends after the read or write under way.
    if (stopPending_)
        return;
    if (!form_.SpeedButton14->isEnabled()) {
        context_.prompts.information(context_.text(174));
        return;
    }
    context_.jobSignals->stopRequested = true;
    form_.SpeedButton14->setEnabled(false);
    stopMonitor();
    // The start button and the commands come back only when the worker has ended: until then
    // a new job or a journal entry would meet a worker still writing.
    stopPending_ = workerRunning_;

    // The record is written at once with the position the worker last reported, never beyond
    // what is written, so that leaving the program right after the stop keeps it.
    appendStopRecord();
    if (!workerRunning_)
        becomeIdle();
}

void JobControls::jobLostMedium() {
    // A stop given meanwhile has journalled the job already; its record is brought up to the
    // position reached when the job ends.
    if (stopPending_)
        return;
    // As after a stop, the monitor offers no registration: the medium is gone, not damaged.
    stopMonitor();
    appendStopRecord();
}

void JobControls::appendStopRecord() {
    // A whole-medium copy leaves no journal entry; a file copy and an image job do.
    if (form_.Label1->text().toUpper() == context_.text(5).toUpper())
        return;
    RecordFile journal(context_.file(QStringLiteral("databaza.fgv")), CopyJob::kRecordBytes);
    const int index = static_cast<int>(QFileInfo(journal.path()).size() / journal.recordSize());
    const QByteArray record = recordedJob().toRecord();
    if (const QString error = journal.append(record); !error.isEmpty()) {
        // The running record stays: the next start journals the job from it.
        context_.prompts.error(error);
        liveJob_.reset();
        return;
    }
    journalled_ = true;
    if (stopPending_) {
        stopRecordIndex_ = index;
        stopRecord_ = record;
    }
}

void JobControls::rewriteStopRecord() {
    if (stopRecordIndex_ < 0)
        return;
    const int index = std::exchange(stopRecordIndex_, -1);
    const QByteArray written = std::exchange(stopRecord_, {});
    const QByteArray record = context_.copyJob.toRecord();
    if (record == written)
        return;
    RecordFile journal(context_.file(QStringLiteral("databaza.fgv")), CopyJob::kRecordBytes);
    if (const QString error = journal.rewrite(index, record); !error.isEmpty())
        context_.prompts.error(error);
}

void JobControls::stopMonitor() {
    form_.Timer2->stop();
}

QString JobControls::report() const {
    const QLocale locale;
    const CopyJob& job = context_.copyJob;
    const QDateTime now = QDateTime::currentDateTime();
    return context_.text(156) + '\r' + '\r' + context_.text(157) + job.sourceName + '\r' +
           context_.text(158) + job.destinationName + '\r' + context_.text(159) +
           QString::number(job.totalSize) + '\r' + context_.text(160) +
           locale.toString(job.startDay(), QLocale::ShortFormat) + QStringLiteral(", ") +
           locale.toString(job.startTimeOfDay(), QLocale::LongFormat) + '\r' + context_.text(161) +
           locale.toString(now.date(), QLocale::ShortFormat) + QStringLiteral(", ") +
           locale.toString(now.time(), QLocale::LongFormat);
}

void JobControls::Timer2Timer() {
    // The monitor stands down once it has been stopped: by its own tick after a job's end, by
    // a stop, or by the switch-off, which registers the medium itself.
    if (!form_.Timer2->isActive())
        return;
    const bool ended = !form_.SpeedButton14->isEnabled();
    if (ended)
        stopMonitor();
    if (ended && form_.CheckBox3->isChecked()) {
        form_.CheckBox3->setChecked(false);
        context_.prompts.information(report());
    }
    if (ended && context_.errorMarker.readFailed())
        offerRegistration();
}

void JobControls::offerRegistration() {
    stopMonitor();
    context_.errorMarker.clear();
    // A source kept as a native path is on the drive that holds it.
    const QChar letter = DriveMap::build(context_.programDir).letterOf(context_.copyJob.sourceName);
    const TMediaIdentifier identity = context_.disk.GetMediaIdentifier(letter);
    RegisterRecord candidate;
    candidate.serialText = QString::number(identity.SerialNumber);
    candidate.volumeLabel =
        identity.VolumeLabel.isEmpty() ? context_.text(167) : identity.VolumeLabel;

    bool registrable = true;
    if (candidate.serialText == QLatin1String("0")) {
        context_.prompts.information(context_.text(181));
        registrable = false;
    }
    RegisterFile damaged(context_);
    if (!registrable || damaged.isRegistered(identity.SerialNumber)) {
        context_.prompts.information(context_.text(101));
        return;
    }
    if (context_.prompts.confirm(context_.text(85))) {
        if (const QString error = damaged.append(candidate); !error.isEmpty())
            context_.prompts.error(error);
    }
}

} // namespace fr
