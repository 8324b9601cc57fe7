#include "widgets/PictureCheckBox.h"

#include "widgets/FlatButton.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace fr {
namespace {

TEST(PictureCheckBoxTest, PressFlipsTheStateBeforeThePressHandlerRuns) {
    PictureCheckBox box(QStringLiteral("Switch off when done"));
    box.resize(box.sizeHint());
    std::vector<bool> seenAtPress;
    QObject::connect(&box, &PictureCheckBox::mousePressed,
                     [&] { seenAtPress.push_back(box.isChecked()); });
    QSignalSpy clicked(&box, &PictureCheckBox::clicked);
    QSignalSpy toggled(&box, &PictureCheckBox::toggled);

    QTest::mousePress(&box, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(seenAtPress, std::vector<bool>{true});
    EXPECT_EQ(clicked.count(), 0) << "a click needs the release";
    QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);

    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(seenAtPress, (std::vector<bool>{true, false}));
    EXPECT_EQ(clicked.count(), 2);
    EXPECT_EQ(toggled.count(), 2);
    EXPECT_FALSE(box.isChecked());

    // The right button does nothing; a release outside keeps the flip but is no click.
    QTest::mouseClick(&box, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_FALSE(box.isChecked());
    QTest::mousePress(&box, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(-20, 5));
    EXPECT_TRUE(box.isChecked());
    EXPECT_EQ(clicked.count(), 2);
}

TEST(PictureCheckBoxTest, SpaceTogglesAndClicksButTheProgramOnlyToggles) {
    PictureCheckBox box(QStringLiteral("Low priority"));
    QSignalSpy clicked(&box, &PictureCheckBox::clicked);
    QSignalSpy pressed(&box, &PictureCheckBox::mousePressed);
    QSignalSpy toggled(&box, &PictureCheckBox::toggled);

    QTest::keyClick(&box, Qt::Key_Space);
    EXPECT_TRUE(box.isChecked());
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(pressed.count(), 0);

    box.setChecked(false);
    box.setChecked(false);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(toggled.count(), 2) << "one for the key, one for the change; none for no change";

    box.setEnabled(false);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(box.isChecked()) << "a disabled box ignores the mouse";
}

// The mark is drawn in its style's colour inside the box, and nothing at all when unticked.
TEST(PictureCheckBoxTest, EveryStyleDrawsItsMarkInsideTheBox) {
    PictureCheckBox box(QStringLiteral("x"));
    box.resize(60, 17);
    const auto markPixels = [&](QColor color) {
        const QImage image = box.grab().toImage();
        const int top = (box.height() - PictureCheckBox::kBoxSize) / 2;
        int count = 0;
        for (int y = top + 1; y < top + PictureCheckBox::kBoxSize - 1; ++y)
            for (int x = 1; x < PictureCheckBox::kBoxSize - 1; ++x) {
                const QColor pixel = image.pixelColor(x, y);
                count += std::abs(pixel.red() - color.red()) < 40 &&
                         std::abs(pixel.green() - color.green()) < 40 &&
                         std::abs(pixel.blue() - color.blue()) < 40;
            }
        return count;
    };
    for (int style = 0; style <= 6; ++style) {
        const auto mark = static_cast<CheckMarkStyle>(style);
        box.setImageType(mark);
        box.setChecked(false);
        EXPECT_EQ(markPixels(PictureCheckBox::markColor(mark)), 0) << style;
        box.setChecked(true);
        EXPECT_GT(markPixels(PictureCheckBox::markColor(mark)), 6) << style;
    }
    EXPECT_NE(PictureCheckBox::markColor(CheckMarkStyle::igCrossBlue),
              PictureCheckBox::markColor(CheckMarkStyle::igHookRed));
}

TEST(FlatButtonWidgetTest, ClicksOnlyWhileEnabledAndSizesToItsCaption) {
    FlatButton button(QStringLiteral("copy files"));
    button.resize(125, 22);
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);

    const int plain = button.sizeHint().width();
    QFont bold = button.font();
    bold.setBold(true);
    button.setFont(bold);
    EXPECT_GT(button.sizeHint().width(), plain) << "a bold tab caption needs more room";
}

} // namespace
} // namespace fr
