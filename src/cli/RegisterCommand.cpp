#include "cli/RegisterCommand.h"

#include "cli/ExitStatus.h"
#include "cli/MediumArgument.h"
#include "cli/PathArguments.h"
#include "cli/Session.h"
#include "core/ProgramContext.h"
#include "rescue/RegisterRecord.h"

namespace fr::cli {

namespace {

int listRegister(Session& session, const RegisterFile::Contents& contents) {
    if (contents.records.empty()) {
        if (!session.json())
            session.say(QStringLiteral("The register of damaged media is empty."));
        return kDone;
    }
    int number = 0;
    for (const RegisterRecord& record : contents.records) {
        ++number;
        if (session.json()) {
            session.entry({{QStringLiteral("number"), number},
                           {QStringLiteral("serial"), record.serialText},
                           {QStringLiteral("label"), record.volumeLabel},
                           {QStringLiteral("note"), record.note}});
            continue;
        }
        session.say(
            QStringLiteral("%1. %2%3")
                .arg(number)
                .arg(record.listLine())
                .arg(record.note.isEmpty() ? QString() : QStringLiteral("  ") + record.note));
    }
    return kDone;
}

int addEntry(Session& session, const QString& typedDrive) {
    ProgramContext& context = session.context();
    QString error;
    const Medium medium = mediumArgument(typedDrive, session.drives(), &error);
    if (!error.isEmpty())
        return session.refuse(error);
    const TMediaIdentifier identity = medium.identity(context);
    // The register knows a medium by its serial number; one without cannot be told apart.
    if (identity.SerialNumber == 0)
        return session.refuse(QStringLiteral("%1: the medium in this drive has no serial number "
                                             "(or there is none), so it cannot be registered")
                                  .arg(medium.name()));
    RegisterFile damaged(context);
    if (damaged.isRegistered(identity.SerialNumber, &error)) {
        session.say(medium.name() + QStringLiteral(": ") + session.text(165));
        return kDone;
    }
    RegisterRecord record;
    record.serialText = RegisterRecord::serialTextOf(identity.SerialNumber);
    record.volumeLabel = identity.VolumeLabel.isEmpty() ? session.text(167) : identity.VolumeLabel;
    record.note = session.arguments().value(QStringLiteral("note"));
    if (const QString failure = damaged.append(record); !failure.isEmpty())
        return session.fail(failure);
    session.say(QStringLiteral("Registered: ") + record.listLine());
    return kDone;
}

int removeEntry(Session& session, const QString& typedNumber, int count) {
    bool isNumber = false;
    const int number = typedNumber.toInt(&isNumber);
    if (!isNumber || number < 1 || number > count)
        return session.refuse(count == 0
                                  ? QStringLiteral("%1: the register is empty").arg(typedNumber)
                                  : QStringLiteral("%1: the register's entries are 1 to %2")
                                        .arg(typedNumber)
                                        .arg(count));
    if (const QString error = RegisterFile(session.context()).remove(number - 1); !error.isEmpty())
        return session.fail(error);
    session.say(QStringLiteral("Entry %1 was removed.").arg(number));
    return kDone;
}

} // namespace

int registerCommand(Session& session) {
    const QStringList& operands = session.arguments().operands;
    const RegisterFile::Contents contents = RegisterFile(session.context()).readAll();
    if (!contents.error.isEmpty())
        session.note(contents.error);
    const QString action = operands.value(0);
    if (operands.isEmpty())
        return listRegister(session, contents);
    if (action == QLatin1String("add") && operands.size() == 2)
        return addEntry(session, operands[1]);
    if (action == QLatin1String("remove") && operands.size() == 2)
        return removeEntry(session, operands[1], static_cast<int>(contents.records.size()));
    return session.refuse(QStringLiteral("register takes no operand, \"add DRIVE\" or "
                                         "\"remove N\""));
}

} // namespace fr::cli
