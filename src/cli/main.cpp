// fragmentrove-cli: the rescue jobs of Fragmentrove from a terminal or a script, on the same
// program folder as the window.

#include "cli/Arguments.h"
#include "cli/CopyCommand.h"
#include "cli/ExitStatus.h"
#include "cli/HelpText.h"
#include "cli/ImageCommands.h"
#include "cli/JobSummary.h"
#include "cli/RegisterCommand.h"
#include "cli/ResumeCommand.h"
#include "cli/Session.h"
#include "cli/TestCommand.h"
#include "cli/VersionText.h"
#include "cli/WipeCommand.h"
#include "platform/FileName.h"
#include "program/ProgramFolder.h"

#include <QStringList>
#include <csignal>
#include <cstdio>

namespace {

using namespace fr::cli;

int run(Session& session) {
    const QString& command = session.arguments().command;
    if (command == QLatin1String("copy"))
        return copyCommand(session);
    if (command == QLatin1String("resume"))
        return resumeCommand(session);
    if (command == QLatin1String("image"))
        return imageCommand(session);
    if (command == QLatin1String("restore"))
        return restoreCommand(session);
    if (command == QLatin1String("test"))
        return testCommand(session);
    if (command == QLatin1String("wipe"))
        return wipeCommand(session);
    if (command == QLatin1String("setup")) {
        // The folder was laid out or brought up to date before the session opened it.
        session.say(QStringLiteral("The program folder is ready: %1").arg(session.programDir()));
        return kDone;
    }
    return registerCommand(session);
}

} // namespace

int main(int argc, char* argv[]) {
    // A reader of the progress that goes away (a pipe into "head") must not end a job half-way
    // and unjournalled: lines written to it are lost, the job goes on.
    std::signal(SIGPIPE, SIG_IGN);
    // Arguments are bytes: a file name that is not UTF-8 must still name its file.
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given << fr::fileNameFromBytes(QByteArrayView(argv[i]));
    const Arguments arguments = parseArguments(given);
    const auto usage = [&arguments](const QString& problem) {
        std::fprintf(stderr, "fragmentrove-cli: %s\nTry \"fragmentrove-cli --help\".\n",
                     qUtf8Printable(problem));
        if (arguments.has(QStringLiteral("json")))
            writeRefusedSummary(arguments.command, problem);
        return kRefused;
    };
    if (arguments.has(QStringLiteral("version")) && arguments.error.isEmpty()) {
        std::fputs(qUtf8Printable(versionText()), stdout);
        return kDone;
    }
    if (arguments.has(QStringLiteral("help")) && arguments.error.isEmpty()) {
        std::fputs(qUtf8Printable(helpText(arguments.command)), stdout);
        return kDone;
    }
    if (!arguments.error.isEmpty())
        return usage(arguments.error);
    if (arguments.command.isEmpty())
        return usage(QStringLiteral("no command given"));
    if (!isCommand(arguments.command))
        return usage(QStringLiteral("unknown command \"%1\"").arg(arguments.command));

    Session session(QStringList{QStringLiteral("fragmentrove-cli")} + given, arguments);
    // A new or empty folder is laid out from the installed files before anything reads it.
    const fr::ProgramFolderPreparation prepared = fr::prepareProgramFolder(
        session.programDir(), fr::ProgramInstallation::ofThisProgram(), true);
    if (!prepared.error.isEmpty())
        return session.finish(session.refuse(prepared.error));
    if (!prepared.warning.isEmpty())
        session.note(prepared.warning);
    if (const QString error = session.open(); !error.isEmpty())
        return session.finish(session.fail(error));
    return session.finish(run(session));
}
