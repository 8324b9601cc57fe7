#include "cli/ResumeCommand.h"

#include "cli/CopyChecks.h"
#include "cli/CopyRun.h"
#include "cli/ExitStatus.h"
#include "cli/ImageCommands.h"
#include "cli/JournalSlot.h"
#include "cli/JsonLines.h"
#include "cli/ReadOrderOptions.h"
#include "cli/Session.h"
#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "platform/FileIdentity.h"
#include "rescue/JournalEntry.h"
#include "rescue/RecordFile.h"

#include <QDateTime>
#include <QFile>
#include <QJsonObject>
#include <algorithm>

namespace fr::cli {

namespace {

// The kind of job an entry holds, as a script names it.
QString kindName(JournalEntry::Kind kind) {
    switch (kind) {
    case JournalEntry::Kind::FileCopy:
        return QStringLiteral("copy");
    case JournalEntry::Kind::MediumToImage:
        return QStringLiteral("image");
    case JournalEntry::Kind::ImageToMedium:
        return QStringLiteral("restore");
    }
    return {};
}

// When the entry's job started; a start that cannot be a date says so instead of going blank.
QString startText(const CopyJob& entry) {
    const QDate day = entry.startDay();
    const QTime time = entry.startTimeOfDay();
    if (!day.isValid() || !time.isValid())
        return QStringLiteral("(start date damaged)");
    return QDateTime(day, time).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// A journal entry as a script reads it: the listing's fields, with the start as ISO 8601
// local time (null when damaged) and the status (null when there is nothing to say).
QJsonObject entryObject(const Session& session, const CopyJob& entry, int number, int percent,
                        const QString& status) {
    const QDate day = entry.startDay();
    const QTime time = entry.startTimeOfDay();
    const bool started = day.isValid() && time.isValid();
    return {{QStringLiteral("number"), number},
            {QStringLiteral("kind"), kindName(JournalEntry::kindOf(entry))},
            {QStringLiteral("source"), entry.sourceName},
            {QStringLiteral("destination"), entry.destinationName},
            {QStringLiteral("listed"), JournalEntry::listLine(entry, session.context())},
            {QStringLiteral("position"), jsonBytes(entry.position.load())},
            {QStringLiteral("totalSize"), jsonBytes(entry.totalSize)},
            {QStringLiteral("percent"), percent},
            {QStringLiteral("started"), started
                                            ? QJsonValue(QDateTime(day, time).toString(Qt::ISODate))
                                            : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("status"),
             status.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(status)}};
}

int listJournal(Session& session, const RecordFile::Contents& journal) {
    if (journal.records.empty()) {
        if (!session.json())
            session.say(QStringLiteral("The journal is empty."));
        return kDone;
    }
    int number = 0;
    for (const QByteArray& record : journal.records) {
        CopyJob entry;
        entry.fromRecord(record);
        const int percent = entry.totalSize == 0
                                ? 100
                                : static_cast<int>(std::min<std::uint64_t>(
                                      100, std::uint64_t{entry.position} * 100 / entry.totalSize));
        ++number;
        QString status;
        if (JournalEntry::kindOf(entry) == JournalEntry::Kind::FileCopy ||
            JournalEntry::isDamaged(entry))
            status = JournalEntry::status(entry, session.context());
        if (session.json()) {
            session.entry(entryObject(session, entry, number, percent, status));
            continue;
        }
        QString line = QStringLiteral("%1. %2  %3%  %4")
                           .arg(number)
                           .arg(JournalEntry::listLine(entry, session.context()))
                           .arg(percent)
                           .arg(startText(entry));
        if (!status.isEmpty())
            line += QStringLiteral("  (") + status + ')';
        session.say(line);
    }
    return kDone;
}

// An entry that cannot be finished any more goes when the user agrees; the resume is refused
// either way.
int offerRemoval(Session& session, const CopyJob& job, JournalSlot& slot, const QString& question) {
    if (session.context().prompts.confirm(question)) {
        if (const QString error = slot.remove(); !error.isEmpty())
            return session.fail(error);
        // The map of its earlier runs describes a job nobody can finish any more.
        QFile::remove(LiveJob::mapPathOf(session.programDir(), job));
        session.note(QStringLiteral("the entry was removed from the journal"));
    }
    return kRefused;
}

// The journal page's checks of an entry about to be finished: its files still there and as
// the stop left them, or the user's word that it should go on.
int checkEntry(Session& session, const CopyJob& job, JournalSlot& slot) {
    // Refused without the offer to remove it: the user may want to mend it by hand.
    if (JournalEntry::isDamaged(job))
        return session.refuse(QStringLiteral("entry %1 -> %2 (at %3 of %4): %5")
                                  .arg(job.sourceName, job.destinationName)
                                  .arg(job.position.load())
                                  .arg(job.totalSize)
                                  .arg(session.text(263)));
    const DriveMap drives = session.drives();
    const auto missing = [&drives](const QString& name) {
        const QString native = drives.toNative(name);
        return native.isEmpty() || !fileExists(native);
    };
    const bool sourceIsFile = JournalEntry::isFilePath(job.sourceName);
    const bool destinationIsFile = JournalEntry::isFilePath(job.destinationName);
    if (sourceIsFile && missing(job.sourceName))
        return offerRemoval(session, job, slot,
                            job.sourceName + QStringLiteral(": ") + session.text(186));
    if (destinationIsFile && missing(job.destinationName))
        return offerRemoval(session, job, slot,
                            job.destinationName + QStringLiteral(": ") + session.text(185));
    if (JournalEntry::kindOf(job) != JournalEntry::Kind::FileCopy)
        return kDone;
    // Each change is asked about, also when both files have changed.
    const QStringList states =
        JournalEntry::status(job, session.context()).split(QStringLiteral(", "));
    ProgramContext& context = session.context();
    if (sourceIsFile && states.contains(session.text(72))) {
        const qint64 sourceSize = fileSize(drives.toNative(job.sourceName));
        if (std::uint64_t(sourceSize) < job.position.load())
            return offerRemoval(session, job, slot,
                                job.sourceName + QStringLiteral(": ") + session.text(189));
        if (!context.prompts.confirm(job.sourceName + QStringLiteral(": ") + session.text(187)))
            return kRefused;
    }
    if (destinationIsFile && states.contains(session.text(73)) &&
        !context.prompts.confirm(job.destinationName + QStringLiteral(": ") + session.text(188)))
        return kRefused;
    return kDone;
}

int resumeCopy(Session& session, CopyJob job, JournalSlot& slot) {
    if (const int status = applyFillOptions(session); status != kDone)
        return status;
    CopyStart start;
    if (const int status =
            checkCopyStart(session, job.sourceName, job.destinationName, true, &start);
        status != kDone)
        return status;
    job.sourceName = start.source.driveForm;
    job.destinationName = start.destination.driveForm;
    job.totalSize = start.sourceSize;
    // The entry keeps its start, also at position 0: it names the job's map and running
    // record, so a resume that is killed brings this entry up to date instead of leaving a twin.
    return runCopy(session, job, start, slot);
}

} // namespace

int resumeCommand(Session& session) {
    if (const int status = checkReadOrder(session); status != kDone)
        return status;
    const QStringList& operands = session.arguments().operands;
    if (operands.size() > 1)
        return session.refuse(QStringLiteral("resume takes one entry number: "
                                             "fragmentrove-cli resume [N]"));
    const RecordFile::Contents journal =
        RecordFile(session.journalPath(), CopyJob::kRecordBytes).readAll();
    if (!journal.error.isEmpty())
        session.note(journal.error);
    if (operands.isEmpty())
        return listJournal(session, journal);

    bool isNumber = false;
    const int number = operands[0].toInt(&isNumber);
    const int count = static_cast<int>(journal.records.size());
    if (!isNumber || number < 1 || number > count)
        return session.refuse(count == 0
                                  ? QStringLiteral("%1: the journal is empty").arg(operands[0])
                                  : QStringLiteral("%1: the journal's entries are 1 to %2")
                                        .arg(operands[0])
                                        .arg(count));
    const QByteArray record = journal.records[static_cast<std::size_t>(number - 1)];
    CopyJob job;
    job.fromRecord(record);
    JournalSlot slot(session.journalPath(), record);
    if (const int status = checkEntry(session, job, slot); status != kDone)
        return status;
    switch (JournalEntry::kindOf(job)) {
    case JournalEntry::Kind::FileCopy:
        return resumeCopy(session, job, slot);
    case JournalEntry::Kind::MediumToImage:
        return resumeMediumToImage(session, job, slot);
    case JournalEntry::Kind::ImageToMedium:
        return resumeImageToMedium(session, job, slot);
    }
    return kRefused;
}

} // namespace fr::cli
