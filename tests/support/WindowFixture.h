#pragma once

#include "core/ProgramContext.h"
#include "core/TForm1.h"
#include "platform/SingleInstance.h"
#include "support/DosDevices.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TempProgramDir.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace fr::test {

// The main window in a program folder of its own, with scripted message boxes, dialogs and
// platform, and a drive D: that is a temporary folder for the test's files.
class WindowFixture : public testing::Test {
protected:
    TempProgramDir dir;
    QTemporaryDir runtime;
    QTemporaryDir media; // drive D:
    ScriptedPlatform platform;
    ScriptedPrompts prompts;
    ScriptedFileDialogs dialogs;
    ProgramContext context{dir.path(), platform, prompts};
    SingleInstance instance{runtime.path()};
    DosDevices drives{dir.path()};
    std::unique_ptr<TForm1> form;

    // Makes and sets up the window, with this English language file in place of the shipped
    // one when it is given.
    void createWindow(const QByteArray& languageFile = {}) {
        if (!languageFile.isEmpty())
            dir.write(QStringLiteral("lang/lang.eng"), languageFile);
        drives.setRoot('D', media.path());
        context.fileDialogs = &dialogs;
        form = std::make_unique<TForm1>(context, instance, QStringList{});
        ASSERT_EQ(form->FormCreate(), QString());
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
