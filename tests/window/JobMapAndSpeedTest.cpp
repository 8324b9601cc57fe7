#include "core/RescueMap.h"
#include "support/FaultyMedium.h"
#include "support/ReferenceRescue.h"
#include "support/WindowFixture.h"
#include "widgets/AreaStrip.h"
#include "widgets/CheckListBox.h"
#include "widgets/FlatButton.h"
#include "widgets/PieGauge.h"
#include "window/AreaMapWindow.h"
#include "window/JobControls.h"
#include "window/JournalPage.h"
#include "window/ProgressSpeed.h"
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

TEST_F(JobMapAndSpeedTest, ClickingTheGaugeWhileACopyRunsShowsItsMapFillingInToTheEnd) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 kSize = 3 << 20;
    const QList<ByteRange> bad = {{2 << 20, (2 << 20) + 3}};
    FaultyMedium medium(kSize, bad, {.bytesPerSecond = 1 << 20});
    drives.setRoot('E', medium.mountPoint());
    startCopy(QStringLiteral("E:\\disk.img"), QStringLiteral("D:\\copy.bin"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->Gauge1->progress() > 0; }, 10000));
    ASSERT_FALSE(jobEnded());

    QTest::mouseClick(form->Gauge1, Qt::LeftButton);
    auto* map = form->findChild<AreaMapWindow*>();
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->isVisible());
    const RescueMap first = map->strip->map();
    EXPECT_EQ(first.size, kSize);
    EXPECT_GT(first.untried.totalBytes(), 0) << "the copy has not read everything yet";
    const QPoint at = map->pos();
    // A save now writes the map as it stands.
    dialogs.answers = {media.filePath(QStringLiteral("live.map"))};
    QTest::mouseClick(map->saveButton, Qt::LeftButton);
    const RescueMap saved = readMapFile(media.filePath(QStringLiteral("live.map"))).map;
    EXPECT_EQ(saved.untried, first.untried);
    EXPECT_EQ(saved.unreadable, first.unreadable);

    // The strip fills in while the window stays where the user has it.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return map->strip->map().untried.totalBytes() < first.untried.totalBytes() ||
                   jobEnded();
        },
        10000));
    EXPECT_FALSE(jobEnded()) << "the map changed while the copy ran";
    EXPECT_TRUE(map->isVisible());

    ASSERT_TRUE(QTest::qWaitFor([this] { return jobEnded(); }, 30000));
    EXPECT_EQ(form->findChildren<AreaMapWindow*>().size(), 1);
    EXPECT_TRUE(map->isVisible());
    EXPECT_EQ(map->pos(), at);
    const RescueMap last = map->strip->map();
    EXPECT_TRUE(last.finished());
    EXPECT_EQ(last.size, kSize);
    ASSERT_EQ(last.unreadable.size(), 1u);
    EXPECT_EQ(last.unreadable.begin()->start, 2 << 20);
}

TEST_F(JobMapAndSpeedTest, AResumedCopyEndsOnTheWholeJobsMapWithWhatEarlierRunsCouldNotRead) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 kSize = 2 << 20;
    // A damaged area whose unreadable places each take a while: stopped inside it, after the
    // first fill blocks.
    FaultyMedium medium(kSize, {{4096, 4096 + (64 << 10)}}, {.delayMs = 20});
    drives.setRoot('E', medium.mountPoint());
    startCopy(QStringLiteral("E:\\disk.img"), QStringLiteral("D:\\copy.bin"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return context.copyJob.position.load() > 8192; }, 20000));
    window->jobControls()->SpeedButton15Click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return jobEnded(); }, 10000));
    auto* map = form->findChild<AreaMapWindow*>();
    ASSERT_NE(map, nullptr);
    QTest::mouseClick(map->closeButton, Qt::LeftButton);

    // The rest reads cleanly, yet the copy as a whole has an unreadable area to show.
    medium.setBadRanges({});
    form->SpeedButton9Click(form->SpeedButton4);
    form->CheckListBox1->setCurrentRow(0);
    window->journalPage()->CheckListBox1Click();
    prompts.answers = {PromptAnswer::Yes}; // go on in the destination
    window->journalPage()->SpeedButton20Click();
    ASSERT_FALSE(jobEnded());
    ASSERT_TRUE(QTest::qWaitFor([this] { return jobEnded(); }, 20000));
    EXPECT_TRUE(map->isVisible());
    const RescueMap last = map->strip->map();
    EXPECT_TRUE(last.finished());
    EXPECT_EQ(last.size, kSize);
    EXPECT_TRUE(last.unreadable.contains(4096));
}

TEST_F(JobMapAndSpeedTest, TheGaugeSaysDamagedAreaWhenTheJobSaysSoWhateverItsFailedReads) {
    ProgressSpeed speed(*form->Gauge1, context);
    speed.start(0);
    // The job's word counts: no failed reads, yet it works through damaged places.
    speed.show(40, 400, 1000, 0, true);
    EXPECT_TRUE(form->Gauge1->text().endsWith(QStringLiteral(" \u00b7 en 252")))
        << form->Gauge1->text().toStdString();
    // Failed reads while it sweeps past damaged places are not reading damaged areas.
    speed.show(50, 500, 1000, 9, false);
    EXPECT_FALSE(form->Gauge1->text().contains(QStringLiteral("en 252")))
        << form->Gauge1->text().toStdString();
    // A job that says nothing: its failed reads tell.
    speed.show(60, 600, 1000, 12);
    EXPECT_TRUE(form->Gauge1->text().endsWith(QStringLiteral("en 252")))
        << form->Gauge1->text().toStdString();
}

} // namespace
} // namespace fr
