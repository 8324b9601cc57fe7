#include "program/Startup.h"

#include "core/ProgramContext.h"
#include "disk/RawDiskAccess.h"
#include "platform/SingleInstance.h"
#include "program/AdminMessage.h"
#include "program/SettingsApplication.h"
#include "support/ScriptedPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TempProgramDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <thread>

namespace fr {
namespace {

using test::numberedLanguageFile;

class StartupTest : public testing::Test {
protected:
    test::TempProgramDir dir;
    QTemporaryDir runtime;
    test::ScriptedPlatform platform;
    test::ScriptedPrompts prompts;
    RawDiskAccess disk{dir.path(), platform};
    ProgramContext context{dir.path(), platform, prompts, disk};

    Startup::Outcome start() { return Startup(context, runtime.path()).run(); }

    // A start that fails on a file: an error box and a line on standard error, both naming
    // the file and the reason, exit code 1, and no lock taken.
    void expectFailure(const QString& file, const QString& reason) {
        testing::internal::CaptureStderr();
        const Startup::Outcome outcome = start();
        const std::string stderrText = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(outcome.proceed);
        EXPECT_EQ(outcome.exitCode, 1);
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
        EXPECT_TRUE(prompts.shown[0].text.contains(dir.file(file)))
            << prompts.shown[0].text.toStdString();
        EXPECT_TRUE(prompts.shown[0].text.contains(reason)) << prompts.shown[0].text.toStdString();
        EXPECT_NE(stderrText.find(dir.file(file).toStdString()), std::string::npos) << stderrText;
        EXPECT_NE(stderrText.find(reason.toStdString()), std::string::npos) << stderrText;
        EXPECT_EQ(std::count(stderrText.begin(), stderrText.end(), '\n'), 1) << stderrText;
        SingleInstance other(runtime.path());
        EXPECT_EQ(other.acquire(), SingleInstance::LockResult::Acquired);
    }
};

TEST_F(StartupTest, ShippedProgramFolderStartsInEnglish) {
    const Startup::Outcome outcome = start();
    ASSERT_TRUE(outcome.proceed);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(context.settings.language, 2);
    EXPECT_FALSE(context.text(0).isEmpty());
    EXPECT_TRUE(platform.exitCodes.empty());
}

TEST_F(StartupTest, MissingSettingsFileEndsTheStart) {
    dir.remove(QStringLiteral("settings.ini"));
    expectFailure(QStringLiteral("settings.ini"), QStringLiteral("No such file"));
}

TEST_F(StartupTest, MissingLanguageFileEndsTheStart) {
    dir.remove(QStringLiteral("lang/lang.eng"));
    expectFailure(QStringLiteral("lang/lang.eng"), QStringLiteral("No such file"));
}

TEST_F(StartupTest, BadSettingsValuesEndTheStart) {
    dir.writeSettings({0, 2, 0, 0, 0, 1, 3, 2, 0, 1, 7});
    expectFailure(QStringLiteral("settings.ini"), QStringLiteral("line 11 (skin): 7"));
}

TEST_F(StartupTest, LanguageFileOfMoreThanThreeHundredLinesEndsTheStart) {
    dir.write(QStringLiteral("lang/lang.eng"), numberedLanguageFile(QStringLiteral("x"), 301));
    expectFailure(QStringLiteral("lang/lang.eng"), QStringLiteral("more than 300 lines"));
}

TEST_F(StartupTest, GermanLoadsItsLanguageFileAndHelpFile) {
    dir.writeSettings({0, 4, 0, 0, 0, 1, 3, 2, 0, 1, 0});
    dir.write(QStringLiteral("lang/lang.ger"), numberedLanguageFile(QStringLiteral("de "), 234));
    ASSERT_TRUE(start().proceed);
    EXPECT_EQ(context.text(3), QStringLiteral("de 3"));

    ASSERT_EQ(SettingsApplication::applyAtStartup(context), QString());
    EXPECT_EQ(context.helpFile, dir.file(QStringLiteral("help/4.hlp")));
}

TEST_F(StartupTest, UserWithoutDiskRightsIsToldInThreeLanguagesAndTheProgramEnds) {
    platform.admin = false;
    const Startup::Outcome outcome = start();
    EXPECT_FALSE(outcome.proceed);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Information);
    EXPECT_EQ(prompts.shown[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(prompts.shown[0].text, adminRequiredMessage());
    EXPECT_EQ(platform.exitCodes, std::vector<int>{0});
}

TEST_F(StartupTest, RightsAreCheckedBeforeAnotherCopyIsLookedFor) {
    SingleInstance first(runtime.path());
    ASSERT_EQ(first.acquire(), SingleInstance::LockResult::Acquired);
    ASSERT_TRUE(first.listen());
    QSignalSpy handOffs(&first, &SingleInstance::handOffReceived);
    platform.admin = false;

    const Startup::Outcome outcome = start();
    QCoreApplication::processEvents(); // where a hand-off would arrive
    EXPECT_FALSE(outcome.proceed);
    ASSERT_EQ(prompts.shown.size(), 1u) << "told, not handed over to the running copy";
    EXPECT_EQ(prompts.shown[0].text, adminRequiredMessage());
    EXPECT_EQ(platform.exitCodes, std::vector<int>{0});
    EXPECT_TRUE(handOffs.isEmpty());
}

TEST_F(StartupTest, AdminMessageHasItsEightLines) {
    const QStringList lines = adminRequiredMessage().split('\n');
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[0], QStringLiteral("..:: slovensky ::.."));
    EXPECT_TRUE(lines[2].isEmpty());
    EXPECT_EQ(lines[3], QStringLiteral("..:: česky ::.."));
    EXPECT_TRUE(lines[5].isEmpty());
    EXPECT_EQ(lines[6], QStringLiteral("..:: english ::.."));
    EXPECT_EQ(lines[7],
              QStringLiteral("Fragmentrove 3 requires an administrator rights to run "
                             "correctly. Please login as an administrator and try again."));
}

TEST_F(StartupTest, OnlyTheOldFamilyByItsFirstTenCharactersSkipsTheRightsCheck) {
    platform.admin = false;
    for (const char* name : {"Windows 98", "Windows 98 SE", "Windows 95 OSR2", "Windows ME"}) {
        platform.name = QLatin1String(name);
        prompts.shown.clear();
        Startup::Outcome outcome = start();
        EXPECT_TRUE(outcome.proceed) << name;
        EXPECT_TRUE(prompts.shown.empty()) << name;
    }
    for (const char* name : {"Windows 2000", "Windows XP", "windows 98", "Linux 6.1"}) {
        platform.name = QLatin1String(name);
        EXPECT_FALSE(start().proceed) << name;
    }
}

TEST_F(StartupTest, SecondStartHandsOffToTheFirstAndEndsQuietly) {
    SingleInstance first(runtime.path());
    ASSERT_EQ(first.acquire(), SingleInstance::LockResult::Acquired);
    ASSERT_TRUE(first.listen());
    QSignalSpy handOffs(&first, &SingleInstance::handOffReceived);

    // The first copy answers from its event loop; the second waits for it on a thread.
    Startup::Outcome outcome;
    std::thread second([&] { outcome = start(); });
    const QDeadlineTimer patience(10000);
    while (handOffs.isEmpty() && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    second.join();

    EXPECT_FALSE(outcome.proceed);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(prompts.shown.empty()) << "the second copy shows nothing";
    EXPECT_EQ(handOffs.size(), 1);
}

} // namespace
} // namespace fr
