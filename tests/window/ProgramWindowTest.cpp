// The assembled window comes apart in an order in which nothing reaches a half-destroyed part.

#include "support/WindowFixture.h"
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

#include <QObject>
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

} // namespace
} // namespace fr
