#include "cli/CopyChecks.h"

#include "cli/ExitStatus.h"
#include "cli/Session.h"
#include "core/ProgramContext.h"
#include "platform/FileIdentity.h"
#include "rescue/RecordText.h"
#include "rescue/RegisterRecord.h"

#include <QFile>
#include <QFileInfo>

namespace fr::cli {

int applyFillOptions(Session& session) {
    ProgramContext& context = session.context();
    const Arguments& arguments = session.arguments();
    if (arguments.hasValue(QStringLiteral("fill"))) {
        const QString fill = arguments.value(QStringLiteral("fill"));
        if (fill == QLatin1String("zero"))
            context.settings.fillMode = 0;
        else if (fill == QLatin1String("random"))
            context.settings.fillMode = 3;
        else
            return session.refuse(
                QStringLiteral("--fill %1: the fill is zero or random").arg(fill));
    }
    if (arguments.hasValue(QStringLiteral("block"))) {
        const QString block = arguments.value(QStringLiteral("block"));
        int field = -1;
        for (int candidate = 0; candidate <= 2; ++candidate)
            if (block ==
                QString::number(Settings::blockBytes(static_cast<std::uint8_t>(candidate))))
                field = candidate;
        if (field < 0)
            return session.refuse(
                QStringLiteral("--block %1: the block size is 512, 1024 or 2048").arg(block));
        context.settings.blockSize = static_cast<std::uint8_t>(field);
    }
    context.fillBuffers.setUp(context.settings.blockSize, context.random);
    return kDone;
}

int checkCopyStart(Session& session, const QString& typedSource, const QString& typedDestination,
                   bool resume, CopyStart* start) {
    ProgramContext& context = session.context();
    const DriveMap drives = session.drives();
    QString error;
    start->source = fileArgument(typedSource, drives, &error);
    if (start->source.native.isEmpty())
        return session.refuse(error);
    start->destination = fileArgument(typedDestination, drives, &error);
    if (start->destination.native.isEmpty())
        return session.refuse(error);
    const FileArgument& source = start->source;
    const FileArgument& destination = start->destination;
    const QString names = source.driveForm + QStringLiteral(" -> ") + destination.driveForm;

    if (source.driveForm == destination.driveForm)
        return session.refuse(session.text(175) + ' ' + names);
    if (!RecordText::fits(source.driveForm) || !RecordText::fits(destination.driveForm))
        return session.refuse(session.text(230) + ' ' + names);
    // Emptying the destination would destroy the source: refused before any question.
    if (sameFile(source.native, destination.native))
        return session.refuse(session.text(175) + ' ' + names);

    bool ok = true;
    const FileKind sourceKind = kindOf(source.native);
    if (sourceKind == FileKind::Missing) {
        session.note(session.text(102) + ' ' + fileReason(source.native));
        ok = false;
    } else if (sourceKind != FileKind::Regular) {
        session.note(session.text(234) + ' ' + source.native);
        ok = false;
    }
    const FileKind destinationKind = kindOf(destination.native);
    if (destinationKind != FileKind::Missing && destinationKind != FileKind::Regular)
        return session.refuse(session.text(235) + ' ' + destination.native);

    bool emptyDestination = false;
    const QFileInfo existing(destination.native);
    // Nothing is asked once the copy cannot start anyway, nor for a copy being finished,
    // which writes on where it stopped.
    if (ok && !resume && destinationKind == FileKind::Regular) {
        if (!context.prompts.confirm(destination.native + QStringLiteral(": ") + session.text(63)))
            ok = false;
        else
            emptyDestination = true;
    }

    if (ok) {
        start->sourceSize = static_cast<std::uint64_t>(QFileInfo(source.native).size());
        if (start->sourceSize > kLargestCopySource) {
            session.note(session.text(225) + ' ' + source.native);
            ok = false;
        }
    }
    if (ok) {
        TDriveInfo target;
        context.disk.GetDriveInfo(destination.driveForm.left(1).toUpper(), target);
        // The destination about to be emptied frees its own space for the copy.
        const std::uint64_t freed = emptyDestination ? static_cast<quint64>(existing.size()) : 0;
        if (start->sourceSize > target.FreeBytes + freed) {
            session.note(session.text(104) + QStringLiteral(" %1: %2 bytes needed, %3 free")
                                                 .arg(destination.native)
                                                 .arg(start->sourceSize)
                                                 .arg(target.FreeBytes + freed));
            ok = false;
        }
    }
    if (!ok)
        return kRefused;

    const TMediaIdentifier medium = context.disk.GetMediaIdentifier(destination.driveForm[0]);
    if (RegisterFile(context).isRegistered(medium.SerialNumber) &&
        context.prompts.show(PromptKind::Warning,
                             destination.driveForm.left(2) + ' ' + session.text(131),
                             PromptButtons::YesNo) == PromptAnswer::No)
        return kRefused;

    if (emptyDestination) {
        QFile file(destination.native);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return session.fail(session.text(103) + ' ' + destination.native +
                                QStringLiteral(": ") + file.errorString());
    }
    return kDone;
}

} // namespace fr::cli
