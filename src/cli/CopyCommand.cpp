#include "cli/CopyCommand.h"

#include "cli/CopyChecks.h"
#include "cli/CopyRun.h"
#include "cli/ExitStatus.h"
#include "cli/JournalSlot.h"
#include "cli/ReadOrderOptions.h"
#include "cli/Session.h"

#include <QDateTime>

namespace fr::cli {

int copyCommand(Session& session) {
    const QStringList& operands = session.arguments().operands;
    if (operands.size() != 2)
        return session.refuse(QStringLiteral("copy needs a source and a destination file: "
                                             "fragmentrove-cli copy SRC DST"));
    if (const int status = checkReadOrder(session); status != kDone)
        return status;
    if (const int status = applyFillOptions(session); status != kDone)
        return status;
    CopyStart start;
    if (const int status = checkCopyStart(session, operands[0], operands[1], false, &start);
        status != kDone)
        return status;
    CopyJob job;
    job.sourceName = start.source.driveForm;
    job.destinationName = start.destination.driveForm;
    job.totalSize = start.sourceSize;
    job.stampStart(QDateTime::currentDateTime());
    // Continuing an earlier run's map: every byte before its first pending area is read.
    if (start.continueFrom) {
        const AreaList pending = start.continueFrom->pending();
        job.position =
            pending.empty() ? job.totalSize : std::uint64_t(pending.areas().front().start);
    }
    JournalSlot slot(session.journalPath());
    return runCopy(session, job, start, slot);
}

} // namespace fr::cli
