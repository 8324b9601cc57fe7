#include "window/TForm2.h"

#include "support/WindowFixture.h"
#include "widgets/FlatButton.h"

#include <QLabel>
#include <QTest>

namespace fr {
namespace {

class TForm2Test : public test::WindowFixture {};

TEST_F(TForm2Test, TestDialogOpensCentredUnderTheWindowAndCanBeClosed) {
    createWindow(test::numberedLanguageFile(QStringLiteral("en "), 234));
    form->move(100, 50);
    TForm2 dialog(context, form->skin());
    dialog.openForTest(form);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.pos(), QPoint(100 + 250 - 100, 150));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("en 51"));
    EXPECT_EQ(dialog.SpeedButton1->text(), QStringLiteral("en 126"));
    EXPECT_EQ(dialog.Label1->text(), QStringLiteral("en 127"));
    QTest::mouseClick(dialog.SpeedButton2, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible()) << "a person can always leave the dialog";
}

} // namespace
} // namespace fr
