#include "cli/TestCommand.h"

#include "cli/ExitStatus.h"
#include "cli/JobWatch.h"
#include "cli/MapOutput.h"
#include "cli/MediumArgument.h"
#include "cli/PathArguments.h"
#include "cli/Session.h"
#include "cli/StopSignal.h"
#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "disk/Testovanie.h"
#include "rescue/RegisterRecord.h"

#include <QDateTime>
#include <atomic>

namespace fr::cli {

int testCommand(Session& session) {
    ProgramContext& context = session.context();
    const QStringList& operands = session.arguments().operands;
    if (operands.size() != 1)
        return session.refuse(QStringLiteral("test needs one drive (or its device): "
                                             "fragmentrove-cli test DRIVE"));
    QString error;
    const Medium tested = mediumArgument(operands[0], session.drives(), &error);
    if (!error.isEmpty())
        return session.refuse(error);
    const TDriveInfo info = tested.layout(context);
    if (info.isEmpty())
        return session.refuse(tested.name() + QStringLiteral(": ") + session.text(176));
    // A medium already registered as damaged is tested only when the user still wants it.
    const TMediaIdentifier medium = tested.identity(context);
    const RegisterFile::Contents known = RegisterFile(context).readAll();
    if (!known.error.isEmpty())
        session.note(known.error);
    const QString serialText = RegisterRecord::serialTextOf(medium.SerialNumber);
    bool registered = false;
    for (const RegisterRecord& record : known.records) {
        if (record.serialText != serialText)
            continue;
        registered = true;
        if (!context.prompts.confirm(tested.name() + QStringLiteral(": ") + session.text(166)))
            return kRefused;
    }

    const QString& device = tested.device;
    if (const int status = checkRunMap(session, {device}); status != kDone)
        return status;
    const std::uint64_t groups = Testovanie::groupCount(device, info);
    const std::uint64_t volumeBytes = Testovanie::volumeBytes(device, info);
    const std::uint64_t groupBytes = std::max<std::uint32_t>(info.ClusterSize, 1);
    // The test's map, kept on disk while it runs; the map --map names is kept up to date with
    // it, and holds the test's last state when it ends.
    LiveJob::Description description =
        Testovanie::liveMap(tested.letter, volumeBytes, groupBytes, QDateTime::currentDateTime());
    // A device without a drive is named by its path in the map's comments.
    if (!tested.hasDrive())
        description.job.sourceName = tested.device;
    description.createdBy = QStringLiteral("Fragmentrove 3.1 (fragmentrove-cli)");
    description.commandLine = session.commandLine();
    if (const QString userMap = runMapPath(session); !userMap.isEmpty())
        description.alsoMapTo << userMap;
    QString liveError;
    const std::shared_ptr<LiveJob> live =
        LiveJob::begin(context.programDir, description, &liveError);
    if (!live)
        return session.fail(liveError);

    const auto stop = std::make_shared<std::atomic<bool>>(false);
    JobReports<TestOutcome> reports;
    TestovanieHooks hooks = reports.hooks<TestovanieHooks>();
    Testovanie::Setup setup{device, info, stop};
    setup.live = live;
    Testovanie tester(std::move(setup), std::move(hooks));
    StopSignal::install();
    StopSignal::withSignalsBlocked([&tester] { tester.start(); });

    session.tell(QStringLiteral("Testing %1: %2 groups of %3 bytes")
                     .arg(tested.described())
                     .arg(groups)
                     .arg(groupBytes));
    const std::unique_ptr<ProgressOutput> progress = session.progress();
    JobWatch watch;
    watch.ended = [&reports] {
        return reports.ended.load();
    };
    watch.sample = [&] {
        return ProgressSample{
            reports.percent.load(),
            static_cast<std::int64_t>(std::min(tester.groupsTested() * groupBytes, volumeBytes)),
            static_cast<std::int64_t>(volumeBytes),
            tester.failedReads(),
            tester.failedGroups() * groupBytes,
            std::nullopt};
    };
    watch.stop = [&](int) {
        stop->store(true);
        session.note(QStringLiteral("stopping after the group under way"));
    };
    const int signal = watchJob(watch, *progress);
    tester.wait();

    const TestOutcome& outcome = reports.outcome;
    JobSummary& summary = session.summary();
    summary.map = description.alsoMapTo.value(0);
    summary.totalBytes = static_cast<std::int64_t>(volumeBytes);
    summary.bytesSettled =
        static_cast<std::int64_t>(std::min(tester.groupsTested() * groupBytes, volumeBytes));
    if (!outcome.failure.isEmpty())
        return session.fail(outcome.failure);
    const auto size = static_cast<std::int64_t>(outcome.volumeBytes);
    summary.totalBytes = size;
    summary.unreadableBytes = outcome.unreadableAreas.totalBytes();
    summary.areas = outcome.unreadableAreas;
    session.say(terminalText(session.text(255))
                    .arg(outcome.unreadableAreas.size())
                    .arg(outcome.unreadableAreas.totalBytes())
                    .arg(size));
    for (const ByteRange& area : outcome.unreadableAreas)
        session.say(QStringLiteral("  bytes %1 to %2 (%3 bytes)")
                        .arg(area.start)
                        .arg(area.end - 1)
                        .arg(area.length()));
    int status = outcome.failedCount > 0 ? kDoneWithDamage : kDone;
    if ((signal != 0 || outcome.mediumGone) && outcome.stopped) {
        if (outcome.mediumGone)
            session.say(session.text(262));
        session.say(
            QStringLiteral("Stopped after %1 of %2 groups.").arg(outcome.groupsTested).arg(groups));
        status = signal == 0 ? kStopped : kStoppedBySignal + signal;
    } else if (outcome.failedCount > 0 && medium.SerialNumber == 0) {
        // Registered, it would stand for every other medium without a serial number.
        session.note(tested.name() + QStringLiteral(": ") + terminalText(session.text(265)) + ' ' +
                     terminalText(session.text(101)));
    } else if (outcome.failedCount > 0 && !registered) {
        session.note(QStringLiteral("to be warned before this medium is used again: "
                                    "fragmentrove-cli register add %1")
                         .arg(tested.hasDrive() ? tested.name() + ':' : tested.name()));
    }
    // Without --map the test's map only stood in for it while it ran: one that could not be
    // written at the end is said, and the result stands.
    if (description.alsoMapTo.isEmpty()) {
        if (!outcome.mapFailure.isEmpty())
            session.note(outcome.mapFailure);
        return status;
    }
    return withMapResult(session, status, outcome.mapFailure);
}

} // namespace fr::cli
