#include "window/Fonts.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Test discovery runs this binary at build time, outside CTest's environment: without a
    // display the windows are drawn offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A runtime folder of our own, so no test ever hands over to a copy the user has open.
    QTemporaryDir runtimeDir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));

    // Every window a test shows checks for updates: nowhere, unless a test sets up a server.
    qputenv("FRAGMENTROVE_UPDATE_SERVER", "https://127.0.0.1:1");

    QApplication application(argc, argv);
    fr::loadProgramFonts();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
