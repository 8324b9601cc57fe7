#pragma once

#include "app/ProgramWindow.h"
#include "core/ProgramContext.h"
#include "disk/RawDiskAccess.h"
#include "platform/SingleInstance.h"
#include "support/DosDevices.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TempProgramDir.h"
#include "window/TForm1.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace fr::test {

// The main window with its pages and dialogs, in a program folder of its own, with scripted message
// boxes, dialogs and platform, and a drive D: that is a temporary folder for the test's files.
class WindowFixture : public testing::Test {
protected:
    TempProgramDir dir;
    QTemporaryDir runtime;
    QTemporaryDir media; // drive D:
    ScriptedPlatform platform;
    ScriptedPrompts prompts;
    ScriptedFileDialogs dialogs;
    RawDiskAccess disk{dir.path(), platform};
    ProgramContext context{dir.path(), platform, prompts, disk};
    SingleInstance instance{runtime.path()};
    DosDevices drives{dir.path()};
    std::unique_ptr<ProgramWindow> window;
    TForm1* form = nullptr;

    // Makes and sets up the window, with this English language file in place of the shipped
    // one when it is given.
    void createWindow(const QByteArray& languageFile = {}) {
        if (!languageFile.isEmpty())
            dir.write(QStringLiteral("lang/lang.eng"), languageFile);
        drives.setRoot('D', media.path());
        context.fileDialogs = &dialogs;
        window = std::make_unique<ProgramWindow>(context, instance, QStringList{});
        form = &window->form();
        ASSERT_EQ(window->create(), QString());
    }

    // The texts of the message boxes shown so far, in order.
    std::vector<QString> texts() const {
        std::vector<QString> shown;
        for (const auto& prompt : prompts.shown)
            shown.push_back(prompt.text);
        return shown;
    }
};

} // namespace fr::test
