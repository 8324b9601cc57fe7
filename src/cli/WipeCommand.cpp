#include "cli/WipeCommand.h"

#include "cli/ExitStatus.h"
#include "cli/PathArguments.h"
#include "cli/Session.h"
#include "cli/StopSignal.h"
#include "core/ProgramContext.h"
#include "platform/FileIdentity.h"
#include "rescue/SecureWipe.h"

namespace fr::cli {

namespace {

constexpr int kWipePasses = 3;

// What the user is told when a wipe ends between two passes.
QString stoppedText(const QString& file, int passes) {
    if (passes == 0)
        return QStringLiteral("Stopped before the first pass: %1 was not changed.").arg(file);
    return QStringLiteral("Stopped after pass %1 of 3: %2 was overwritten %3 but was not deleted.")
        .arg(passes)
        .arg(file, passes == 1 ? QStringLiteral("once") : QStringLiteral("%1 times").arg(passes));
}

} // namespace

int wipeCommand(Session& session) {
    const QStringList& operands = session.arguments().operands;
    if (operands.size() != 1)
        return session.refuse(session.text(163) + QStringLiteral(" fragmentrove-cli wipe FILE"));
    QString error;
    const FileArgument file = fileArgument(operands[0], session.drives(), &error);
    if (file.native.isEmpty())
        return session.refuse(error);
    const WipeTarget target = wipeTargetOf(file.native);
    switch (target.kind) {
    case WipeTargetKind::Missing:
        return session.refuse(session.text(164) + ' ' + fileReason(file.native));
    case WipeTargetKind::Folder:
        return session.refuse(
            QStringLiteral("%1 is a folder; wipe overwrites one file.").arg(file.native));
    case WipeTargetKind::SymbolicLink:
        return session.refuse(session.text(241) + ' ' + file.native + QStringLiteral(" -> ") +
                              target.linkTarget);
    case WipeTargetKind::NotAFile:
        return session.refuse(session.text(241) + ' ' + file.native);
    case WipeTargetKind::File:
        break;
    }
    if (!session.context().prompts.confirm(
            QStringLiteral("%1: overwrite it three times and delete it? Its contents cannot be "
                           "brought back.")
                .arg(file.native)))
        return kRefused;

    // A stop ends the wipe between two passes, never in the middle of one.
    StopSignal::install();
    session.tell(QStringLiteral("Overwriting %1 (Ctrl-C stops after the pass being written)")
                     .arg(file.native));
    // A script follows the wipe pass by pass: the bytes are those of all three passes.
    const std::int64_t fileBytes = std::max<std::int64_t>(fileSize(file.native), 0);
    const auto atPass = [fileBytes](int passes) {
        ProgressSample sample;
        sample.percent = passes * 100 / kWipePasses;
        sample.doneBytes = fileBytes * passes;
        sample.totalBytes = fileBytes * kWipePasses;
        sample.pass = passes;
        return sample;
    };
    std::unique_ptr<ProgressOutput> progress;
    if (session.json()) {
        progress = session.progress();
        progress->start(atPass(0));
    }
    const WipeOutcome outcome = wipeFile(
        file.native, session.context().random,
        [&session, &progress, &atPass](int pass, const QByteArray&) {
            session.tell(QStringLiteral("pass %1 of 3 written").arg(pass));
            if (progress)
                progress->update(atPass(pass));
        },
        [] { return StopSignal::received() != 0; });
    if (progress)
        progress->finish(atPass(outcome.passesDone));
    JobSummary& summary = session.summary();
    summary.totalBytes = fileBytes * kWipePasses;
    summary.bytesSettled = fileBytes * outcome.passesDone;
    // Other names of the file still show it, with what the passes wrote.
    const auto otherNames = [&session, &outcome] {
        if (outcome.otherNames > 0 && outcome.passesDone > 0)
            session.note(session.text(266) + ' ' + QString::number(outcome.otherNames));
    };
    switch (outcome.stage) {
    case WipeStage::Wiped:
        session.say(session.text(177) + ' ' + file.native);
        otherNames();
        return kDone;
    case WipeStage::Stopped:
        session.say(stoppedText(file.native, outcome.passesDone));
        otherNames();
        return kStoppedBySignal + StopSignal::received();
    case WipeStage::DeletionFailed:
        // The contents are gone, but the name remains.
        return session.fail(session.text(229) + ' ' + file.native + QStringLiteral(": ") +
                            outcome.reason);
    case WipeStage::NotOpened:
    case WipeStage::PassFailed:
        break;
    }
    return session.fail(session.text(240) + ' ' + file.native + QStringLiteral(": ") +
                        outcome.reason);
}

} // namespace fr::cli
