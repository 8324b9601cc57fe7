#include "core/RescueMap.h"
#include "support/FaultyMedium.h"
#include "support/ReferenceRescue.h"
#include "support/WindowFixture.h"
#include "widgets/AreaStrip.h"
#include "widgets/FlatButton.h"
#include "widgets/PieGauge.h"
#include "window/AreaMapWindow.h"
#include "window/TForm1.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>

namespace fr {
namespace {

using test::ByteRange;
using test::FaultyMedium;

// A rescue copy started as the user starts it: the fields typed, the start button pressed.
class JobMapAndSpeedTest : public test::WindowFixture {
protected:
    void SetUp() override {
        createWindow(test::numberedLanguageFile(QStringLiteral("en "), 261));
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    }
    void startCopy(const QString& source, const QString& destination) {
        form->Edit1->setText(source);
        form->Edit2->setText(destination);
        QTest::mouseClick(form->SpeedButton13, Qt::LeftButton);
    }
    bool jobEnded() const { return form->SpeedButton13->isEnabled(); }
};

TEST_F(JobMapAndSpeedTest, ACopyWithThreeBadAreasShowsThemAndSavesTheirMap) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QList<ByteRange> bad = {{1000, 1001}, {70000, 72000}, {200000, 200004}};
    FaultyMedium medium(256 * 1024, bad);
    drives.setRoot('E', medium.mountPoint());
    startCopy(QStringLiteral("E:\\disk.img"), QStringLiteral("D:\\copy.bin"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return jobEnded(); }, 30000));

    // Exactly where the step-by-step rescue puts its fill blocks.
    QFile backing(medium.backingPath());
    ASSERT_TRUE(backing.open(QIODevice::ReadOnly));
    const AreaList filled = test::referenceCopy(backing.readAll(), bad, {}, 0, 256 * 1024,
                                                context.fillBuffers.fillBufferZero)
                                .filled;
    ASSERT_EQ(filled.size(), 3u);
    auto* map = form->findChild<AreaMapWindow*>();
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->isVisible());
    EXPECT_FALSE(map->frameGeometry().intersects(form->frameGeometry())) << "beside the window";
    EXPECT_EQ(map->strip->map(), RescueMap::ofRun(256 * 1024, {0, 256 * 1024}, filled));

    // Saved under the name the user gives; the file reads back to the same areas.
    dialogs.answers = {media.filePath(QStringLiteral("copy"))};
    QTest::mouseClick(map->saveButton, Qt::LeftButton);
    const MapFileContents saved = readMapFile(media.filePath(QStringLiteral("copy.map")));
    ASSERT_EQ(saved.error, QString());
    EXPECT_EQ(saved.map.unreadable, filled);
    EXPECT_TRUE(saved.map.finished());

    // A folder that cannot take the file: said so, with the file's name in drive form.
    dialogs.answers = {media.filePath(QStringLiteral("no/such/folder/copy.map"))};
    QTest::mouseClick(map->saveButton, Qt::LeftButton);
    const auto said = std::find_if(prompts.shown.begin(), prompts.shown.end(), [](const auto& p) {
        return p.text.startsWith(QStringLiteral("en 260"));
    });
    ASSERT_NE(said, prompts.shown.end());
    EXPECT_TRUE(said->text.contains(QStringLiteral("D:\\no\\such\\folder\\copy.map")))
        << said->text.toStdString();

    QTest::mouseClick(map->closeButton, Qt::LeftButton);
    EXPECT_FALSE(map->isVisible());
}

TEST_F(JobMapAndSpeedTest, TheGaugeShowsTheRateOfAThrottledSourceAndTheTimeLeft) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 kRate = 4 << 20;
    FaultyMedium medium(16 << 20, {}, {.bytesPerSecond = kRate});
    drives.setRoot('E', medium.mountPoint());
    startCopy(QStringLiteral("E:\\disk.img"), QStringLiteral("D:\\copy.bin"));

    // "37% · 4.0 MB/s · en 251": the percent, the smoothed rate, the time left.
    QString text;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            text = form->Gauge1->text();
            return text.count(QStringLiteral(" \u00b7 ")) == 2 || jobEnded();
        },
        30000));
    QTest::qWait(1500); // a few seconds of samples
    text = form->Gauge1->text();
    const QStringList parts = text.split(QStringLiteral(" \u00b7 "));
    ASSERT_EQ(parts.size(), 3) << text.toStdString();
    EXPECT_EQ(parts[0], QString::number(form->Gauge1->shownPercent()) + '%');
    ASSERT_TRUE(parts[1].endsWith(QStringLiteral(" MB/s"))) << text.toStdString();
    const double shown = parts[1].chopped(5).toDouble() * 1048576.0;
    EXPECT_NEAR(shown, kRate, kRate * 0.2) << text.toStdString();
    EXPECT_EQ(parts[2], QStringLiteral("en 251"));

    ASSERT_TRUE(QTest::qWaitFor([this] { return jobEnded(); }, 30000));
    EXPECT_EQ(form->Gauge1->text(), QStringLiteral("100%")) << "the speed goes with the job";
    EXPECT_EQ(form->findChild<AreaMapWindow*>(), nullptr) << "a clean copy has no map to show";
}

} // namespace
} // namespace fr
