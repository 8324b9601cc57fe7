#include "widgets/PieGauge.h"

#include <QImage>
#include <gtest/gtest.h>

namespace fr {
namespace {

// Counts the gauge's pixels in the pie colour, left and right of the vertical middle line.
std::pair<int, int> pieHalves(PieGauge& gauge) {
    const QImage image = gauge.grab().toImage();
    int left = 0;
    int right = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(Qt::red))
                (x < image.width() / 2 ? left : right)++;
    return {left, right};
}

TEST(PieGaugeTest, ShowsTheProgressHeldToItsRangeButKeepsWhatWasSet) {
    PieGauge gauge;
    gauge.resize(265, 20);
    gauge.setForeColor(Qt::red);
    gauge.setBackColor(Qt::white);
    gauge.setTextColor(Qt::white); // keeps the text out of the red count

    gauge.setProgress(0);
    EXPECT_EQ(pieHalves(gauge), std::make_pair(0, 0));

    // Half: the right-hand side, filled clockwise from twelve o'clock.
    gauge.setProgress(50);
    auto [left, right] = pieHalves(gauge);
    EXPECT_LT(left, right / 20);
    EXPECT_GT(right, 265 * 20 / 4);

    gauge.setProgress(100);
    const auto full = pieHalves(gauge);
    EXPECT_GT(full.first, right * 9 / 10);

    gauge.setProgress(150);
    EXPECT_EQ(gauge.progress(), 150);
    EXPECT_EQ(gauge.shownPercent(), 100);
    EXPECT_EQ(pieHalves(gauge), full);

    gauge.setProgress(-7);
    EXPECT_EQ(gauge.progress(), -7);
    EXPECT_EQ(pieHalves(gauge), std::make_pair(0, 0));

    // Sizes where the ellipse degenerates still paint.
    gauge.setProgress(33);
    for (const QSize size : {QSize(0, 0), QSize(1, 1), QSize(3, 200), QSize(200, 150)}) {
        gauge.resize(size);
        gauge.grab();
    }
}

} // namespace
} // namespace fr
