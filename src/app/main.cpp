// Fragmentrove: rescues files from damaged media.

#include "app/ProgramWindow.h"
#include "core/ProgramContext.h"
#include "disk/RawDiskAccess.h"
#include "platform/LinuxPlatform.h"
#include "platform/SingleInstance.h"
#include "program/Startup.h"
#include "window/Fonts.h"
#include "window/QtPrompts.h"
#include "window/TForm1.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

namespace {

// Without a display the windowing library would abort with a message few users can read.
bool displayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
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

    fr::LinuxPlatform platform;
    fr::QtPrompts prompts;
    fr::RawDiskAccess disk(QDir::currentPath(), platform);
    fr::ProgramContext context(QDir::currentPath(), platform, prompts, disk);

    QString runtimeError;
    const QString runtimeDir = fr::defaultRuntimeDir(&runtimeError);
    if (runtimeDir.isEmpty())
        std::fprintf(stderr, "fragmentrove: %s\n", qUtf8Printable(runtimeError));

    fr::Startup startup(context, runtimeDir);
    fr::Startup::Outcome outcome = startup.run();
    if (!outcome.proceed)
        return outcome.exitCode;

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    fr::ProgramWindow window(context, *outcome.instance, arguments);
    if (const QString error = window.create(); !error.isEmpty()) {
        fr::reportStartupFailure(context, error);
        return 1;
    }
    window.form().show();
    return application.exec();
}
