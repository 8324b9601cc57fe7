// Fragmentrove: rescues files from damaged media.

#include "app/ProgramWindow.h"
#include "core/ProgramContext.h"
#include "disk/RawDiskAccess.h"
#include "platform/LinuxPlatform.h"
#include "platform/SingleInstance.h"
#include "program/ProgramFolder.h"
#include "program/Startup.h"
#include "window/Fonts.h"
#include "window/QtPrompts.h"
#include "window/TForm1.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace {

// Without a display the windowing library would abort with a message few users can read.
bool displayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The program folder: the one --program-dir names; else the current folder when it is one (a
// menu entry that starts the program in its folder); else the user's own, laid out at the first
// start. The option is taken out of the arguments the window reads.
QString takeProgramFolder(QStringList& arguments) {
    const QString option = QStringLiteral("--program-dir");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString folder;
        if (arguments[i] == option && i + 1 < arguments.size()) {
            folder = arguments.takeAt(i + 1);
            arguments.removeAt(i);
        } else if (arguments[i].startsWith(option + '=')) {
            folder = arguments.takeAt(i).mid(option.size() + 1);
        } else {
            continue;
        }
        return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    }
    if (QFileInfo::exists(QStringLiteral("settings.ini")))
        return QDir::currentPath();
    return fr::userProgramFolder();
}

} // namespace

int main(int argc, char* argv[]) {
    if (!displayAvailable()) {
        std::fprintf(stderr, "fragmentrove: no display found; run it under a virtual one: "
                             "xvfb-run -a fragmentrove\n");
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fragmentrove"));
    QApplication::setApplicationDisplayName(QLatin1String(fr::TForm1::kTitle));

    // Without Tahoma the captions fall back to another face and may not fit as designed.
    if (const QString missing = fr::loadProgramFonts(); !missing.isEmpty())
        std::fprintf(stderr, "fragmentrove: fonts not found: %s\n", qUtf8Printable(missing));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const QString programDir = takeProgramFolder(arguments);
    const fr::ProgramFolderPreparation prepared =
        fr::prepareProgramFolder(programDir, fr::ProgramInstallation::ofThisProgram(), true);
    if (!prepared.warning.isEmpty())
        std::fprintf(stderr, "fragmentrove: %s\n", qUtf8Printable(prepared.warning));
    // The program works in its folder, as it was always started in it.
    if (prepared.error.isEmpty() && !QDir::setCurrent(programDir))
        std::fprintf(stderr, "fragmentrove: %s: cannot work in this folder\n",
                     qUtf8Printable(programDir));

    fr::LinuxPlatform platform;
    fr::QtPrompts prompts;
    fr::RawDiskAccess disk(programDir, platform);
    fr::ProgramContext context(programDir, platform, prompts, disk);
    if (!prepared.error.isEmpty()) {
        fr::reportStartupFailure(context, prepared.error);
        return 1;
    }

    QString runtimeError;
    const QString runtimeDir = fr::defaultRuntimeDir(&runtimeError);
    if (runtimeDir.isEmpty())
        std::fprintf(stderr, "fragmentrove: %s\n", qUtf8Printable(runtimeError));

    fr::Startup startup(context, runtimeDir);
    fr::Startup::Outcome outcome = startup.run();
    if (!outcome.proceed)
        return outcome.exitCode;

    fr::ProgramWindow window(context, *outcome.instance, arguments);
    if (const QString error = window.create(); !error.isEmpty()) {
        fr::reportStartupFailure(context, error);
        return 1;
    }
    window.form().show();
    return application.exec();
}
