// The main window's start-up set-up, the re-apply after a save, the exit procedure of the
// close picture and the start-up timer.

#include "window/TForm1.h"

#include "core/ProgramContext.h"
#include "platform/SingleInstance.h"
#include "program/Startup.h"
#include "support/ScriptedPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TempProgramDir.h"
#include "support/WindowFixture.h"
#include "widgets/ClickableLabel.h"
#include "window/JobControl.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::numberedLanguageFile;

// Records what the exit procedure does with a job.
class RecordingJobControl : public JobControl {
public:
    bool running = true;
    std::vector<std::string> actions;

    bool jobRunning() const override { return running; }
    void togglePause() override { actions.push_back("pause"); }
    void stopJob() override {
        actions.push_back("stop");
        running = false;
    }
};

// The window is made by each test, as some need several or none.
class TForm1Test : public test::WindowFixture {
protected:
    void SetUp() override {
        dir.write(QStringLiteral("lang/lang.eng"),
                  numberedLanguageFile(QStringLiteral("en "), 234));
        dir.write(QStringLiteral("lang/lang.cze"),
                  numberedLanguageFile(QStringLiteral("cz "), 234));
        ASSERT_EQ(instance.acquire(), SingleInstance::LockResult::Acquired);
    }
};

TEST_F(TForm1Test, SetUpMakesTheFramelessWelcomeWindow) {
    TForm1 form(context, instance, {});
    ASSERT_EQ(form.FormCreate(), QString());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Fragmentrove 3.1"));
    EXPECT_EQ(form.size(), QSize(500, 330));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.Label1->text(), QStringLiteral("en 0"));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("en 1"));
    EXPECT_EQ(form.Label3->text(), QStringLiteral("en 2"));
    EXPECT_EQ(form.Image2->toolTip(), QStringLiteral("en 214"));
    EXPECT_TRUE(instance.isListening()) << "a second copy can now hand over";
    EXPECT_EQ(context.fillBuffers.blockBytes(), 512);
    EXPECT_EQ(context.helpFile, dir.file(QStringLiteral("help/2.hlp")));
}

TEST_F(TForm1Test, RandomFillBlockHasItsMarkerBytesAndZerosElsewhere) {
    dir.writeSettings({3, 2, 2, 0, 0, 1, 3, 2, 0, 1, 0});
    TForm1 form(context, instance, {});
    ASSERT_EQ(form.FormCreate(), QString());
    const auto& random = context.fillBuffers.fillBufferRandom;
    ASSERT_EQ(random.size(), 2048u);
    EXPECT_EQ(random[0], 0);
    for (size_t i = 1; i <= 4; ++i)
        EXPECT_LE(random[i], 254);
    EXPECT_TRUE(std::all_of(random.begin() + 5, random.end(), [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(context.fillBuffers.fillBufferZero.begin(),
                            context.fillBuffers.fillBufferZero.end(),
                            [](auto b) { return b == 0; }));
    EXPECT_EQ(context.fillBuffers.readBuffer.size(), 2048u);
}

TEST_F(TForm1Test, ReapplyShowsANewLanguageAtOnceButKeepsTheBuffers) {
    TForm1 form(context, instance, {});
    ASSERT_EQ(form.FormCreate(), QString());
    context.settings.language = 1;
    context.settings.blockSize = 2;
    form.reapplySettings();
    EXPECT_EQ(form.Label1->text(), QStringLiteral("cz 0"));
    EXPECT_EQ(context.helpFile, dir.file(QStringLiteral("help/1.hlp")));
    EXPECT_EQ(context.fillBuffers.blockBytes(), 512) << "a new block size waits for the next start";
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(TForm1Test, ReapplyWithAMissingOrUnknownLanguageReportsItAndKeepsTheCaptions) {
    TForm1 form(context, instance, {});
    ASSERT_EQ(form.FormCreate(), QString());
    dir.remove(QStringLiteral("lang/lang.cze"));
    // A number without a language never names a file: the program folder is no language file.
    for (const auto& [language, named] :
         {std::pair{1, QStringLiteral("lang/lang.cze")},
          std::pair{6, QStringLiteral("settings.ini, line 2 (language): 6")}}) {
        prompts.shown.clear();
        context.settings.language = static_cast<std::uint8_t>(language);
        form.reapplySettings();
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
        EXPECT_TRUE(prompts.shown[0].text.contains(dir.file(named)))
            << prompts.shown[0].text.toStdString();
        EXPECT_EQ(form.Label1->text(), QStringLiteral("en 0"));
        EXPECT_EQ(context.helpFile, dir.file(QStringLiteral("help/2.hlp")));
    }
}

TEST_F(TForm1Test, ClosePictureEndsAtOnceWhenNoJobRuns) {
    TForm1 form(context, instance, {});
    ASSERT_EQ(form.FormCreate(), QString());
    RecordingJobControl job;
    job.running = false;
    form.setJobControl(&job);
    QTest::mouseClick(form.Image2, Qt::LeftButton);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(job.actions.empty());
    EXPECT_EQ(platform.exitCodes, std::vector<int>{0});
}

TEST_F(TForm1Test, ClosingDuringAJobPausesAsksAndResumesOnNo) {
    TForm1 form(context, instance, {});
    ASSERT_EQ(form.FormCreate(), QString());
    RecordingJobControl job;
    form.setJobControl(&job);
    prompts.answers = {PromptAnswer::No};
    form.SpeedButton10Click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Confirmation);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("en 62"));
    EXPECT_EQ(job.actions, (std::vector<std::string>{"pause", "pause"}));
    EXPECT_TRUE(platform.exitCodes.empty());
}

TEST_F(TForm1Test, ClosingDuringAJobStopsItOnYesThenEnds) {
    TForm1 form(context, instance, {});
    ASSERT_EQ(form.FormCreate(), QString());
    RecordingJobControl job;
    form.setJobControl(&job);
    prompts.answers = {PromptAnswer::Yes};
    form.SpeedButton10Click();
    EXPECT_EQ(job.actions, (std::vector<std::string>{"pause", "stop"}));
    EXPECT_EQ(platform.exitCodes, std::vector<int>{0});
}

TEST_F(TForm1Test, OnlyTheExactArgumentExploreOpensTheRegisterOnce) {
    for (const auto& [arguments, expected] :
         std::vector<std::pair<QStringList, int>>{{{"explore"}, 1},
                                                  {{"Explore"}, 0},
                                                  {{"explore2"}, 0},
                                                  {{"other", "explore"}, 0},
                                                  {{}, 0}}) {
        TForm1 form(context, instance, arguments);
        QSignalSpy explore(&form, &TForm1::exploreRequested);
        ASSERT_EQ(form.FormCreate(), QString());
        EXPECT_TRUE(form.Timer3->isActive());
        form.Timer3Timer();
        EXPECT_FALSE(form.Timer3->isActive()) << "the start-up timer runs once";
        EXPECT_EQ(explore.size(), expected) << arguments.join(' ').toStdString();
    }
}

TEST_F(TForm1Test, HandOffBringsAMinimisedWindowBack) {
    TForm1 form(context, instance, {});
    ASSERT_EQ(form.FormCreate(), QString());
    form.showMinimized();
    ASSERT_TRUE(form.isMinimized());
    emit instance.handOffReceived();
    EXPECT_FALSE(form.isMinimized());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(TForm1Test, AFailingSettingsFileStopsTheSetUp) {
    TForm1 form(context, instance, {});
    dir.write(QStringLiteral("settings.ini"), "0\r\n");
    const QString error = form.FormCreate();
    EXPECT_TRUE(error.contains(dir.file(QStringLiteral("settings.ini")))) << error.toStdString();
    EXPECT_FALSE(form.Timer3->isActive());
}

} // namespace
} // namespace fr
