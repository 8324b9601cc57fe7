#include "cli/CopyChecks.h"

#include "cli/ExitStatus.h"
#include "cli/MapOutput.h"
#include "cli/Session.h"
#include "core/ProgramContext.h"
#include "platform/DriveMap.h"
#include "platform/FileIdentity.h"
#include "rescue/CopyStartCheck.h"

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

namespace {

// The checks' texts on the terminal, each with the file it is about and the reason; the
// questions are asked only when the answer can still matter.
class TerminalDialogue : public CopyStartDialogue {
public:
    explicit TerminalDialogue(Session& session) : session_(session) {}

    void refused(int text, const QString& file, const QString& detail) override {
        QString message = session_.text(text) + ' ';
        if (text == 102)
            message += fileReason(file);
        else
            message += detail.isEmpty() ? file : file + QStringLiteral(": ") + detail;
        session_.note(message);
    }
    bool replaceExisting(const QString& destination, bool canStart, bool resume) override {
        // A copy that cannot start needs no answer; one being finished writes on where it
        // stopped and replaces nothing.
        if (!canStart || resume)
            return true;
        return session_.context().prompts.confirm(destination + QStringLiteral(": ") +
                                                  session_.text(63));
    }
    bool useRegisteredMedium(const QString& destination) override {
        return session_.context().prompts.show(PromptKind::Warning,
                                               destination.left(2) + ' ' + session_.text(131),
                                               PromptButtons::YesNo) != PromptAnswer::No;
    }
    void failed(int text, const QString& file, const QString& reason) override {
        failure_ = session_.fail(session_.text(text) + ' ' + file + QStringLiteral(": ") + reason);
    }

    // The exit status of a refused start: a failure to empty the destination, or a refusal.
    int status() const { return failure_ != kDone ? failure_ : kRefused; }

private:
    Session& session_;
    int failure_ = kDone;
};

} // namespace

int checkCopyStart(Session& session, const QString& typedSource, const QString& typedDestination,
                   bool resume, CopyStart* start) {
    const DriveMap drives = session.drives();
    QString error;
    start->source = fileArgument(typedSource, drives, &error);
    if (start->source.native.isEmpty())
        return session.refuse(error);
    start->destination = fileArgument(typedDestination, drives, &error);
    if (start->destination.native.isEmpty())
        return session.refuse(error);
    // Before anything is emptied or copied: a map that cannot be written costs no run.
    if (const int status = checkRunMap(session, {start->source.native, start->destination.native});
        status != kDone)
        return status;
    if (!resume) {
        if (kindOf(start->source.native) == FileKind::Regular) {
            if (const int status = mapToContinueFrom(session, fileSize(start->source.native),
                                                     &start->continueFrom);
                status != kDone)
                return status;
        }
        // Bytes the map calls read are in the destination, or the map is not this copy's.
        if (start->continueFrom &&
            start->continueFrom->pending().totalBytes() < start->continueFrom->size &&
            !fileExists(start->destination.native))
            return session.refuse(
                QStringLiteral("--map %1: the map says bytes were read into %2, which does not "
                               "exist; nothing was read")
                    .arg(session.arguments().value(QStringLiteral("map")),
                         start->destination.driveForm));
        resume = start->continueFrom.has_value();
    }
    TerminalDialogue dialogue(session);
    fr::CopyStart checked;
    if (!fr::checkCopyStart(session.context(), drives, start->source.driveForm,
                            start->destination.driveForm, resume, dialogue, &checked))
        return dialogue.status();
    start->sourceSize = checked.sourceSize;
    return kDone;
}

} // namespace fr::cli
