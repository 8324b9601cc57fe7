#include "window/TForm2.h"

#include "support/WindowFixture.h"
#include "widgets/FlatButton.h"
#include "widgets/PieGauge.h"

#include <QImage>
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <cmath>

namespace fr {
namespace {

class TForm2Test : public test::WindowFixture {};

// The contrast ratio of two colours, 1 (the same) to 21 (black on white).
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& colour) {
        const auto linear = [](double c) {
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
               0.0722 * linear(colour.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

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

TEST_F(TForm2Test, GaugesAtHalfwayShowPlainlyHalfFullInEverySkin) {
    for (int skin = 0; skin < 3; ++skin) {
        dir.writeSettings({0, 2, 0, 0, 0, 1, 3, 2, 0, 1, skin});
        window.reset();
        createWindow();
        form->SpeedButton9Click(form->SpeedButton1); // the copy-files page shows its gauge
        TForm2 dialog(context, form->skin());
        dialog.openForTest(form);
        for (PieGauge* gauge : {form->Gauge1, dialog.ProgressBar1}) {
            gauge->setProgress(50);
            // The slice fills the right half, clockwise from twelve o'clock.
            const QImage shown = gauge->grab().toImage();
            const int middle = shown.height() / 2;
            const QColor done = shown.pixelColor(shown.width() * 3 / 4, middle);
            const QColor toDo = shown.pixelColor(shown.width() / 4, middle);
            EXPECT_GE(contrast(done, toDo), 1.15)
                << form->skin().name.toStdString() << " " << gauge->objectName().toStdString();
        }
        dialog.close();
    }
}

} // namespace
} // namespace fr
