#include "cli/CopyRun.h"

#include "cli/CopyChecks.h"
#include "cli/ExitStatus.h"
#include "cli/JobWatch.h"
#include "cli/JournalSlot.h"
#include "cli/MapOutput.h"
#include "cli/ReadOrderOptions.h"
#include "cli/Session.h"
#include "cli/StopSignal.h"
#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "platform/FileAttributes.h"
#include "platform/FileName.h"
#include "rescue/KopirovanieEex.h"
#include "rescue/RegisterRecord.h"

#include <QDateTime>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace fr::cli {

namespace {

int percentOf(std::uint64_t position, std::uint64_t total) {
    return total == 0 ? 100 : static_cast<int>(position * 100 / total);
}

// Says how to finish a journalled copy later.
QString resumeHint(const JournalSlot& slot) {
    const int number = slot.number();
    return number > 0 ? QStringLiteral("journalled as entry %1; finish it with: "
                                       "fragmentrove-cli resume %1")
                            .arg(number)
                      : QStringLiteral("journalled");
}

// A copy that met unreadable places may warn before its medium is used again.
void suggestRegistration(Session& session, const CopyStart& start) {
    const QChar letter = session.drives().letterOf(start.source.driveForm);
    if (letter.isNull())
        return;
    const TMediaIdentifier medium = session.context().disk.GetMediaIdentifier(letter);
    if (medium.SerialNumber == 0 ||
        RegisterFile(session.context()).isRegistered(medium.SerialNumber))
        return;
    session.note(QStringLiteral("to be warned before the medium in drive %1: is used again: "
                                "fragmentrove-cli register add %1:")
                     .arg(letter));
}

// Which file a copy that could not go on failed on, and why.
QString failureMessage(Session& session, const CopyStart& start, const QString& reason) {
    const int source = ::open(fileNameBytes(start.source.native).constData(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return QStringLiteral("copying stopped: the source could not be read: %1: %2")
            .arg(start.source.native, QString::fromLocal8Bit(std::strerror(errno)));
    ::close(source);
    return session.text(226) + ' ' + start.destination.native + QStringLiteral(": ") + reason;
}

} // namespace

int runCopy(Session& session, CopyJob job, const CopyStart& start, JournalSlot& slot) {
    ProgramContext& context = session.context();
    const Arguments& arguments = session.arguments();
    auto jobSignals = std::make_shared<JobSignals>();
    jobSignals->deleteSource = arguments.has(QStringLiteral("delete-source"));
    if (arguments.has(QStringLiteral("low-priority"))) {
        // Lowered now, for the whole copy; the engine itself follows only later changes.
        jobSignals->lowPriority = true;
        if (!context.platform.setIdlePriority(true))
            session.note(QStringLiteral("the priority could not be lowered; the copy runs at "
                                        "normal priority"));
    }
    resetEX(start.source.native);
    const std::uint64_t from = job.position.load();
    const bool resumed = slot.holdsEntry();

    // The job's map and record, kept on disk while it runs; the map --map names is kept up to
    // date with it.
    LiveJob::Description description;
    description.job = job;
    description.bytes = job.totalSize;
    description.createdBy = QStringLiteral("Fragmentrove 3.1 (fragmentrove-cli)");
    description.commandLine = session.commandLine();
    if (const QString userMap = runMapPath(session); !userMap.isEmpty())
        description.alsoMapTo << userMap;
    description.earlier = start.continueFrom;
    QString liveError;
    const std::shared_ptr<LiveJob> live =
        LiveJob::begin(context.programDir, description, &liveError);
    if (!live)
        return session.fail(liveError);

    JobReports<CopyOutcome> reports;
    reports.position = from;
    reports.percent = percentOf(from, job.totalSize);
    KopirovanieEexHooks hooks = reports.hooks<KopirovanieEexHooks>();
    KopirovanieEex engine({job, jobSignals, context.fillBuffers, context.settings.fillMode,
                           context.platform, start.source.native, start.destination.native, live,
                           readOrderOf(arguments)},
                          std::move(hooks));
    StopSignal::install();
    StopSignal::withSignalsBlocked([&engine] { engine.start(); });

    session.tell(QStringLiteral("%1 -> %2: %3 bytes%4")
                     .arg(start.source.driveForm, start.destination.driveForm)
                     .arg(job.totalSize)
                     .arg(from > 0 ? QStringLiteral(", from byte %1").arg(from) : QString()));
    const std::unique_ptr<ProgressOutput> progress = session.progress();
    JobWatch watch;
    watch.ended = [&reports] {
        return reports.ended.load();
    };
    watch.sample = [&] {
        const KopirovanieEex::ReadCounts counts = engine.readCounts();
        return ProgressSample{reports.percent.load(),
                              reports.doneBytes(reports.position.load()),
                              std::int64_t(job.totalSize),
                              counts.failedReads,
                              counts.filledBytes,
                              reports.atDamagedArea(),
                              counts.pass};
    };
    watch.stop = [&](int) {
        jobSignals->stopRequested = true;
        // Journalled at once, never beyond what is on the destination's disk: a second signal
        // that ends the program before the read under way returns still leaves the entry.
        CopyJob stopped = job;
        stopped.position = live->committedPosition();
        if (const QString error = slot.put(stopped); !error.isEmpty())
            session.note(error);
        session.note(QStringLiteral("stopping after the read under way (again to quit at once)"));
    };
    const int signal = watchJob(watch, *progress);
    engine.wait();

    const CopyOutcome& outcome = reports.outcome;
    JobSummary& summary = session.summary();
    summary.takeMap(live->lastMap());
    summary.map = description.alsoMapTo.value(0);
    // What the journal may say: the position the map and record committed, which the disk
    // holds (after a failure the last sync may not have reached it).
    job.position = std::min(outcome.position, live->committedPosition());
    const bool finished =
        outcome.failure.isEmpty() && !outcome.mediumGone && outcome.position >= job.totalSize;
    // Once the journal holds the job, or it is done, the running record goes; the map stays
    // with a journalled job. Should the journal not take it, the record stays for the next
    // start to journal.
    auto journalled = [&live, &slot, &summary](const QString& error) {
        if (error.isEmpty()) {
            live->retire(true);
            summary.journalEntry = slot.number();
        }
        return error;
    };

    int status = kDone;
    if (!outcome.failure.isEmpty()) {
        session.note(failureMessage(session, start, outcome.failure));
        // A copy that got somewhere can be finished once the cause is mended.
        if (outcome.position > from || resumed) {
            if (const QString error = journalled(slot.put(job)); !error.isEmpty())
                session.note(error);
            else
                session.note(QStringLiteral("stopped at byte %1 of %2, %3")
                                 .arg(outcome.position)
                                 .arg(job.totalSize)
                                 .arg(resumeHint(slot)));
        } else {
            // Nothing done, nothing to finish later.
            live->retire(false);
        }
        status = kFailed;
    } else if (!finished) {
        if (const QString error = journalled(slot.put(job)); !error.isEmpty())
            return session.fail(error);
        if (outcome.mediumGone)
            session.say(session.text(262));
        session.say(QStringLiteral("Stopped at byte %1 of %2 (%3%), %4")
                        .arg(outcome.position)
                        .arg(job.totalSize)
                        .arg(percentOf(outcome.position, job.totalSize))
                        .arg(resumeHint(slot)));
        status = outcome.mediumGone && signal == 0 ? kStopped : kStoppedBySignal + signal;
    } else {
        if (const QString error = slot.remove(); !error.isEmpty())
            session.note(error);
        live->retire(false);
        if (outcome.readFailed) {
            session.say(QStringLiteral(
                            "Done with unreadable places: %1 bytes became fill blocks, areas: %2")
                            .arg(outcome.filledAreas.totalBytes())
                            .arg(outcome.filledAreas.size()));
            suggestRegistration(session, start);
            status = kDoneWithDamage;
        } else {
            session.say(QStringLiteral("Done: every byte was read."));
        }
        switch (outcome.sourceDeletion) {
        case SourceDeletion::NotAsked:
            break;
        case SourceDeletion::Deleted:
            session.say(QStringLiteral("The source was deleted."));
            break;
        case SourceDeletion::Kept:
            session.say(session.text(261));
            break;
        case SourceDeletion::Failed:
            // The copy is whole, but a script that asked for the source to go must not take it
            // as gone.
            session.note(QStringLiteral("the source could not be deleted: %1: %2")
                             .arg(start.source.native, outcome.deletionFailure));
            status = kFailed;
            break;
        }
    }
    return status;
}

} // namespace fr::cli
