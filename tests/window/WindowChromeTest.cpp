// The frameless window's own chrome: skins, moving by dragging, the logo link and its hint.

#include "core/ProgramContext.h"
#include "platform/SingleInstance.h"
#include "support/ScriptedPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TempProgramDir.h"
#include "support/WindowFixture.h"
#include "widgets/ClickableLabel.h"
#include "widgets/LabeledEdit.h"
#include "widgets/PictureCheckBox.h"
#include "window/TForm1.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace fr {
namespace {

class WindowChromeTest : public test::WindowFixture {
protected:
    void create(int skin = 0) {
        dir.writeSettings({0, 2, 0, 0, 0, 1, 3, 2, 0, 1, skin});
        createWindow();
        form->move(100, 100);
    }

    // Mouse input in a control's own coordinates, with the screen position the window implies.
    void mouse(QWidget* control, QEvent::Type type, QPoint point, Qt::MouseButtons buttons) {
        const QPoint global = form->pos() + control->mapTo(form, point);
        QMouseEvent event(type, point, global,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(control, &event);
    }
    void press(QWidget* control, QPoint point) {
        mouse(control, QEvent::MouseButtonPress, point, Qt::LeftButton);
    }
    void dragTo(QWidget* control, QPoint point, QPoint screen) {
        QMouseEvent event(QEvent::MouseMove, point, screen, Qt::NoButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(control, &event);
    }
    void release(QWidget* control, QPoint point) {
        mouse(control, QEvent::MouseButtonRelease, point, Qt::NoButton);
    }
};

TEST_F(WindowChromeTest, DraggingKeepsThePressedPointUnderTheCursor) {
    create();
    press(form, {300, 20});
    dragTo(form, {300, 20}, {700, 420});
    EXPECT_EQ(form->pos(), QPoint(400, 400));

    // A label and a labelled edit box move the window the same way, from their own point.
    for (QWidget* control : std::initializer_list<QWidget*>{form->Label1, form->LabeledEdit1}) {
        form->move(100, 100);
        press(control, {4, 3});
        dragTo(control, {4, 3}, {600, 500});
        EXPECT_EQ(form->pos() + control->pos() + QPoint(4, 3), QPoint(600, 500))
            << control->objectName().toStdString();
    }
}

TEST_F(WindowChromeTest, LogoAreaShowsTheHandAndOpensTheLinkOnAClick) {
    create();
    mouse(form, QEvent::MouseMove, {100, 30}, Qt::NoButton);
    EXPECT_TRUE(form->hintsShown());
    EXPECT_EQ(form->cursor().shape(), Qt::PointingHandCursor);
    mouse(form, QEvent::MouseMove, {200, 30}, Qt::NoButton);
    EXPECT_FALSE(form->hintsShown());
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);

    for (const QPoint at : {QPoint(5, 30), QPoint(100, 30)}) {
        mouse(form, QEvent::MouseMove, at, Qt::NoButton);
        press(form, at);
        release(form, at);
    }
    ASSERT_EQ(platform.filesRun.size(), 1u) << "only the click inside the logo area";
    EXPECT_EQ(platform.filesRun[0], dir.file(QStringLiteral("web.url")));
}

TEST_F(WindowChromeTest, TitlePicturesMinimiseAndClose) {
    create();
    form->show();
    QTest::mouseClick(form->Image1, Qt::LeftButton);
    EXPECT_TRUE(form->isMinimized());
    QTest::mouseClick(form->Image2, Qt::LeftButton);
    EXPECT_EQ(platform.exitCodes, std::vector<int>{0});
}

TEST_F(WindowChromeTest, SkinGivesPicturesColoursAndCheckMarks) {
    dir.write(QStringLiteral("bits/classic_colours.ini"), "16773848\r\n15438849\r\n");
    create(0);
    EXPECT_EQ(form->Edit1->palette().color(QPalette::Base), QColor(216, 242, 255));
    EXPECT_EQ(form->Label2->palette().color(QPalette::WindowText), QColor(1, 148, 235));
    EXPECT_EQ(form->CheckBox1->imageType(), CheckMarkStyle::igCrossBlue);
    EXPECT_EQ(form->Image4->pixmap().size(), QSize(33, 33));

    create(1);
    EXPECT_EQ(form->skin().name, QStringLiteral("nature"));
    EXPECT_EQ(form->checkbox6->imageType(), CheckMarkStyle::igHookRed);
    create(2);
    EXPECT_EQ(form->CheckBox5->imageType(), CheckMarkStyle::igCrossGreen);
}

TEST_F(WindowChromeTest, MissingSkinPictureStopsTheSetUpNamingTheFile) {
    dir.remove(QStringLiteral("bits/nature_save.bmp"));
    dir.writeSettings({0, 2, 0, 0, 0, 1, 3, 2, 0, 1, 1});
    TForm1 window(context, instance, {});
    const QString error = window.FormCreate();
    EXPECT_TRUE(error.contains(QStringLiteral("nature_save.bmp"))) << error.toStdString();
    EXPECT_TRUE(window.Label2->text().isEmpty()) << "the captions after the skin are not applied";
}

TEST_F(WindowChromeTest, ActivationStartsTheMediaManagerOnlyWhenAskedAndInstalled) {
    create();
    const QString manager = dir.file(QStringLiteral("mmanager.exe"));
    dir.write(QStringLiteral("mmanager.exe"), "#!/bin/sh\n");
    form->FormActivate();
    EXPECT_TRUE(platform.filesRun.empty());
    EXPECT_EQ(form->journalFile, dir.file(QStringLiteral("databaza.fgv")));
    context.settings.launchManager = 1;
    form->FormActivate();
    form->FormActivate();
    EXPECT_EQ(platform.filesRun, (std::vector<QString>{manager, manager}))
        << "every activation starts it again";

    dir.remove(QStringLiteral("mmanager.exe"));
    form->FormActivate();
    EXPECT_EQ(platform.filesRun.size(), 2u) << "nothing to start where it is not installed";
}

} // namespace
} // namespace fr
