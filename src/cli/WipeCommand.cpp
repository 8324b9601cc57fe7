#include "cli/WipeCommand.h"

#include "cli/ExitStatus.h"
#include "cli/PathArguments.h"
#include "cli/Session.h"
#include "core/ProgramContext.h"
#include "platform/FileIdentity.h"
#include "rescue/SecureWipe.h"

namespace fr::cli {

int wipeCommand(Session& session) {
    const QStringList& operands = session.arguments().operands;
    if (operands.size() != 1)
        return session.refuse(session.text(163) + QStringLiteral(" fragmentrove-cli wipe FILE"));
    QString error;
    const FileArgument file = fileArgument(operands[0], session.drives(), &error);
    if (file.native.isEmpty())
        return session.refuse(error);
    const FileKind kind = kindOf(file.native);
    if (kind == FileKind::Missing || kind == FileKind::Directory)
        return session.refuse(session.text(164) + ' ' + fileReason(file.native));
    if (kind != FileKind::Regular)
        return session.refuse(session.text(241) + ' ' + file.native);
    if (!session.context().prompts.confirm(
            QStringLiteral("%1: overwrite it three times and delete it? Its contents cannot be "
                           "brought back.")
                .arg(file.native)))
        return kRefused;

    const WipeOutcome outcome =
        wipeFile(file.native, session.context().random, [&session](int pass, const QByteArray&) {
            session.say(QStringLiteral("pass %1 of 3 written").arg(pass));
        });
    switch (outcome.stage) {
    case WipeStage::Wiped:
        session.say(session.text(177) + ' ' + file.native);
        return kDone;
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
