// The assembled window comes apart in an order in which nothing reaches a half-destroyed part.

#include "core/LiveJob.h"
#include "support/FileBytes.h"
#include "support/WindowFixture.h"
#include "widgets/CheckListBox.h"
#include "widgets/FlatButton.h"
#include "window/CopyFilesPage.h"
#include "window/CopyMusicPage.h"
#include "window/DiskImagePage.h"
#include "window/FormatPage.h"
#include "window/JobControls.h"
#include "window/JournalPage.h"
#include "window/RegisterPage.h"
#include "window/SectorViewerPage.h"
#include "window/SecureDeletionPage.h"
#include "window/SettingsPage.h"
#include "window/TForm1.h"
#include "window/WholeMediumPage.h"

#include <QLabel>
#include <QObject>
#include <QTest>
#include <gtest/gtest.h>

namespace fr {
namespace {

class ProgramWindowTest : public test::WindowFixture {};

TEST_F(ProgramWindowTest, EveryPageGoesWhileTheMainWindowIsStillWhole) {
    createWindow();
    const QObject* const mainWindow = form;
    const std::vector<QObject*> pages = {
        window->settingsPage(),     window->registerPage(),      window->jobControls(),
        window->copyFilesPage(),    window->journalPage(),       window->wholeMediumPage(),
        window->diskImagePage(),    window->copyMusicPage(),     window->formatPage(),
        window->sectorViewerPage(), window->secureDeletionPage()};
    // Once the main window's own destructor has run, what is left of it is a plain widget: a
    // page that goes then has had its filters called on controls of a window that is gone.
    std::vector<QString> goneTooLate;
    for (QObject* page : pages) {
        ASSERT_NE(page, nullptr);
        const QString name = QString::fromLatin1(page->metaObject()->className());
        QObject::connect(page, &QObject::destroyed, [&goneTooLate, mainWindow, name] {
            if (mainWindow->metaObject() != &TForm1::staticMetaObject)
                goneTooLate.push_back(name);
        });
    }
    window.reset();
    EXPECT_EQ(goneTooLate, std::vector<QString>{});
}

// A job that was running when the program was killed is in the journal at the next start, and
// the user hears of it once the window is there.
TEST_F(ProgramWindowTest, AJobLeftUnjournalledIsJournalledAtTheStartAndTheUserIsTold) {
    CopyJob job;
    job.sourceName = QStringLiteral("D:\\video.mkv");
    job.destinationName = QStringLiteral("D:\\rescued.mkv");
    job.totalSize = 5000;
    job.stampStart(QDateTime::currentDateTime());
    {
        LiveJob::Description description;
        description.job = job;
        description.bytes = job.totalSize;
        QString error;
        const auto live = LiveJob::begin(dir.path(), description, &error);
        ASSERT_TRUE(live) << error.toStdString();
        ASSERT_EQ(live->commit({0, 3000}, {}, 3000), QString());
    } // the lock goes with the program that held it
    // The copy got further than its last commit before the kill: its destination is longer.
    test::writeFile(media.filePath(QStringLiteral("video.mkv")), QByteArray(5000, 'v'));
    test::writeFile(media.filePath(QStringLiteral("rescued.mkv")), QByteArray(3700, 'v'));
    createWindow(test::numberedLanguageFile(QStringLiteral("en "), 276));
    const std::vector<CopyJob> journal =
        test::journalEntries(dir.file(QStringLiteral("databaza.fgv")));
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].sourceName, job.sourceName);
    EXPECT_EQ(journal[0].position.load(), 3000u);
    EXPECT_TRUE(prompts.shown.empty()) << "said once the window is shown";
    form->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !prompts.shown.empty(); }, 5000));
    EXPECT_EQ(texts(), std::vector<QString>{QStringLiteral("en 275")});

    // The journal page shows it with the journal's own status: the destination is not where the
    // entry says, so a resume asks first.
    QTest::mouseClick(form->SpeedButton4, Qt::LeftButton);
    EXPECT_EQ(form->CheckListBox1->count(), 1);
    EXPECT_EQ(form->Label3->text(), QStringLiteral("en 68en 73"));
}

} // namespace
} // namespace fr
