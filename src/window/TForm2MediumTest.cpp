// The medium-test mode of TForm2: the start and stop button, the worker's reports, and the
// offer to register a damaged medium on closing.

#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "disk/Testovanie.h"
#include "platform/DriveMap.h"
#include "platform/Prompts.h"
#include "rescue/RegisterRecord.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/PieGauge.h"
#include "window/AreaMapWindow.h"
#include "window/TForm2.h"
#include "window/WorkerReports.h"

#include <QLabel>

namespace fr {

namespace {

// Whether the register holds the medium with this serial. A damaged register is reported,
// and its whole entries still count.
bool registered(ProgramContext& context, quint32 serial) {
    const RegisterFile::Contents contents = RegisterFile(context).readAll();
    if (!contents.error.isEmpty())
        context.prompts.error(contents.error);
    const QString serialText = RegisterRecord::serialTextOf(serial);
    for (const RegisterRecord& record : contents.records)
        if (record.serialText == serialText)
            return true;
    return false;
}

} // namespace

bool TForm2::isTesting() const {
    return worker_ && worker_->isRunning();
}

void TForm2::setStartCaption(const QString& caption) {
    SpeedButton1->setText(caption);
    // The worker looks at this before each group, as it would look at the caption itself.
    if (stop_)
        stop_->store(caption == context_.text(126));
}

void TForm2::becomeIdle() {
    setStartCaption(context_.text(126));
    SpeedButton2->setEnabled(true);
}

void TForm2::testuj() {
    if (SpeedButton1->text() != context_.text(126)) {
        setStartCaption(context_.text(126)); // the running test stops at its next group
        return;
    }
    setStartCaption(context_.text(128));
    SpeedButton2->setEnabled(false);

    const QChar letter = DriveComboBox1->drive();
    context_.driveInfo = {};
    if (!letter.isNull())
        context_.disk.GetDriveInfo(QString(letter), context_.driveInfo);
    if (context_.driveInfo.isEmpty()) {
        context_.prompts.information(context_.text(176)); // no medium in the drive
        becomeIdle();
        return;
    }
    // A medium already registered as damaged is tested only when the user still wants it,
    // asked once for each of its entries.
    const TMediaIdentifier medium = context_.disk.GetMediaIdentifier(letter);
    const RegisterFile::Contents contents = RegisterFile(context_).readAll();
    if (!contents.error.isEmpty())
        context_.prompts.error(contents.error);
    const QString serialText = RegisterRecord::serialTextOf(medium.SerialNumber);
    for (const RegisterRecord& record : contents.records) {
        if (record.serialText == serialText && !context_.prompts.confirm(context_.text(166))) {
            becomeIdle();
            return;
        }
    }
    setCanvasText(context_.text(168));
    startWorker();
}

void TForm2::startWorker() {
    retireWorker();
    const WorkerReports::Job reports = reports_.newJob();
    const auto current = reports.current;
    // A flag of its own for each test, so a retired worker never sees the next test's state.
    stop_ = std::make_shared<std::atomic<bool>>(SpeedButton1->text() == context_.text(126));

    TestovanieHooks hooks;
    hooks.post = reports.post;
    hooks.damaged = [this, current] {
        if (!current())
            return;
        damaged_ = true;
        setCanvasText(context_.text(129));
    };
    hooks.counted = [this, current](std::uint64_t groups) {
        if (current())
            Label1->setText(context_.text(127) + QString::number(groups));
    };
    const DriveMap drives = DriveMap::build(context_.programDir);
    const Drive* drive = drives.drive(DriveComboBox1->drive());
    const QString device = drive ? drive->device : QString();
    const std::int64_t groupBytes = std::max<std::uint32_t>(context_.driveInfo.ClusterSize, 1);
    const auto volumeBytes =
        static_cast<std::int64_t>(Testovanie::volumeBytes(device, context_.driveInfo));
    hooks.progress = [this, current, groupBytes, volumeBytes](int percent) {
        if (!current() || !worker_)
            return;
        progressSpeed_->show(percent, std::int64_t(worker_->groupsTested()) * groupBytes,
                             volumeBytes, worker_->failedGroups());
    };
    hooks.ended = [this, current](const TestOutcome& outcome) {
        if (current())
            workerEnded(outcome);
    };
    startedAt_ = QDateTime::currentDateTime();
    // The test's map, kept on disk while it runs so that a crash leaves what it found; the
    // test does not start without it.
    QString liveError;
    std::shared_ptr<LiveJob> live =
        LiveJob::begin(context_.programDir,
                       Testovanie::liveMap(DriveComboBox1->drive(), std::uint64_t(volumeBytes),
                                           std::uint64_t(groupBytes), startedAt_),
                       &liveError);
    if (!live) {
        context_.prompts.error(liveError);
        setCanvasText(QString());
        becomeIdle();
        return;
    }
    Testovanie::Setup setup{device, context_.driveInfo, stop_};
    setup.live = std::move(live);
    progressSpeed_->start(0);
    worker_ = std::make_unique<Testovanie>(std::move(setup), std::move(hooks));
    worker_->start();
}

void TForm2::retireWorker() {
    if (!worker_)
        return;
    worker_->stop();
    worker_->wait();
    worker_.reset();
}

void TForm2::waitForTest() {
    if (worker_)
        worker_->wait();
}

void TForm2::workerEnded(const TestOutcome& outcome) {
    // A medium out of reach is not a damaged one: the reason is shown instead of a result.
    if (!outcome.failure.isEmpty())
        context_.prompts.error(outcome.failure);
    else if (outcome.mediumGone)
        context_.prompts.warning(context_.text(262));
    // The program folder could not take the test's last map: the result below is whole, but
    // the next job would meet the same folder.
    if (!outcome.mapFailure.isEmpty())
        context_.prompts.error(outcome.mapFailure);
    progressSpeed_->stop();
    if (!outcome.unreadableAreas.empty()) {
        const std::int64_t groupBytes = static_cast<std::int64_t>(outcome.groupBytes);
        const QString drive = QString(DriveComboBox1->drive()) + QLatin1Char(':');
        // The map is never saved over the image file that stands for the tested drive.
        const DriveMap drives = DriveMap::build(context_.programDir);
        const Drive* tested = drives.drive(DriveComboBox1->drive());
        const AreaMapWindow::Job mapped{
            RescueMap::ofRun(std::int64_t(outcome.volumeBytes),
                             {0, std::min(std::int64_t(outcome.groupsTested) * groupBytes,
                                          std::int64_t(outcome.volumeBytes))},
                             outcome.unreadableAreas),
            drive, QStringLiteral("test %1").arg(drive), startedAt_,
            QStringList{tested ? tested->device : QString()}};
        // A window of its own: it stays open when the dialog closes.
        AreaMapWindow::show(*this, context_, mapped);
    }
    becomeIdle();
    ProgressBar1->setProgress(0);
    Label1->setText(context_.text(127));
}

void TForm2::SpeedButton2Click() {
    if (damaged_) {
        const QChar letter = DriveComboBox1->drive();
        const TMediaIdentifier medium = context_.disk.GetMediaIdentifier(letter);
        // The register knows a medium by its serial number: an entry without one would stand
        // for every other medium that has none.
        if (medium.SerialNumber == 0) {
            context_.prompts.information(context_.text(265));
            context_.prompts.information(context_.text(101));
        } else if (registered(context_, medium.SerialNumber)) {
            context_.prompts.information(context_.text(165)); // already registered
        } else if (context_.prompts.confirm(context_.text(130))) {
            const RegisterRecord record{RegisterRecord::serialTextOf(medium.SerialNumber),
                                        medium.VolumeLabel, QString()};
            if (const QString error = RegisterFile(context_).append(record); !error.isEmpty())
                context_.prompts.error(error);
            else if (showRegister_)
                showRegister_();
        }
    }
    QDialog::reject();
}

} // namespace fr
