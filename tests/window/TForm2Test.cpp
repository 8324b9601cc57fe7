#include "window/TForm2.h"

#include "rescue/RegisterRecord.h"
#include "support/FaultyMedium.h"
#include "support/MediaImages.h"
#include "support/WindowFixture.h"
#include "widgets/AreaStrip.h"
#include "widgets/CheckListBox.h"
#include "widgets/DirectoryListBox.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/PieGauge.h"
#include "window/AreaMapWindow.h"
#include "window/Prisposob.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <cmath>

namespace fr {
namespace {

using test::ByteRange;
using test::FaultyMedium;

class TForm2Test : public test::WindowFixture {
protected:
    TForm2* dialog = nullptr;

    void createWindow() {
        WindowFixture::createWindow(test::numberedLanguageFile(QStringLiteral("en "), 234));
        dialog = window->form2();
    }
    // A 1.44 MB floppy in drive E:, served so that chosen bytes fail.
    std::unique_ptr<FaultyMedium> floppyInE(const QList<ByteRange>& bad = {},
                                            const FaultyMedium::Options& options = {}) {
        const QString image = dir.file(QStringLiteral("floppy.img"));
        test::MediaImages::floppy(image, QStringLiteral("DISK1"), 0x0badcafe);
        auto medium = std::make_unique<FaultyMedium>(image, bad, options);
        drives.setDevice('E', medium->path());
        return medium;
    }
    // The register page's medium test, on drive E:.
    void openTestOnE() {
        form->SpeedButton9Click(form->SpeedButton5);
        form->SpeedButton26->click();
        ASSERT_TRUE(dialog->isVisible());
        dialog->DriveComboBox1->setDrive('E');
    }
    // Lets the test end and its last reports arrive.
    void finishTest() {
        dialog->waitForTest();
        const QDeadlineTimer deadline(10000);
        while (dialog->SpeedButton1->text() != QStringLiteral("en 126") && !deadline.hasExpired())
            QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    std::vector<RegisterRecord> registered() { return RegisterFile(context).readAll().records; }
};

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
    createWindow();
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

TEST_F(TForm2Test, FolderChoiceSitsTopRightAndFillsThePagesField) {
    ASSERT_TRUE(QDir(media.path()).mkpath(QStringLiteral("photos/2024")));
    createWindow();
    form->move(100, 50);
    form->SpeedButton9Click(form->SpeedButton3); // the whole-medium page
    form->run(form->image4Action);
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->pos(), QPoint(100 + 500 - 200 - 10, 50 + 10));
    EXPECT_EQ(dialog->SpeedButton1->text(), QStringLiteral("en 52"));
    EXPECT_TRUE(dialog->DirectoryListBox1->isVisible());
    EXPECT_FALSE(dialog->ProgressBar1->isVisible());

    dialog->DriveComboBox1->setDrive('D');
    dialog->DirectoryListBox1->setDirectory(media.filePath(QStringLiteral("photos")));
    dialog->SpeedButton1->click();
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\photos\\"));
    EXPECT_FALSE(dialog->isVisible());
    // The root keeps its one "\".
    form->run(form->image4Action);
    dialog->DriveComboBox1->setDrive('D');
    dialog->DirectoryListBox1->setDirectory(media.path());
    dialog->SpeedButton1->click();
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\"));

    // The copy-music page takes the folder as it is into its own field.
    form->SpeedButton9Click(form->SpeedButton2);
    form->run(form->image3Action);
    dialog->DriveComboBox1->setDrive('D');
    dialog->DirectoryListBox1->setDirectory(media.filePath(QStringLiteral("photos/2024")));
    dialog->SpeedButton1->click();
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("D:\\photos\\2024"));
    // The only message is the page's own: this machine has no disc to rip.
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, context.text(79));
}

TEST_F(TForm2Test, ADamagedTestOffersToRegisterTheMediumOnce) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const auto medium = floppyInE();
    dir.write(QStringLiteral("drives.fgv"), {});
    createWindow();

    // A clean test: nothing is asked on closing and nothing is written.
    openTestOnE();
    dialog->SpeedButton1->click();
    EXPECT_EQ(dialog->SpeedButton1->text(), QStringLiteral("en 128"));
    EXPECT_FALSE(dialog->SpeedButton2->isEnabled());
    EXPECT_EQ(dialog->canvasText(), QStringLiteral("en 168"));
    finishTest();
    const std::uint64_t totalClusters = context.driveInfo.TotalClusters; // packed: copied first
    EXPECT_EQ(totalClusters, 2880u);
    EXPECT_FALSE(dialog->isDamaged());
    EXPECT_TRUE(dialog->SpeedButton2->isEnabled());
    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("en 127"));
    EXPECT_EQ(dialog->ProgressBar1->progress(), 0);
    dialog->SpeedButton2->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(registered().empty());

    // One unreadable sector: the medium is offered, written once, and the register shows it.
    medium->setBadRanges({{1000 * 512 + 3, 1000 * 512 + 4}});
    openTestOnE();
    dialog->SpeedButton1->click();
    finishTest();
    EXPECT_TRUE(dialog->isDamaged());
    EXPECT_EQ(dialog->canvasText(), QStringLiteral("en 129"));
    // The map beside the window marks the one cluster that failed.
    const auto* map = dialog->findChild<AreaMapWindow*>();
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->isVisible());
    const std::int64_t cluster = context.driveInfo.ClusterSize;
    AreaList failed;
    failed.add({512003 / cluster * cluster, 512003 / cluster * cluster + cluster});
    EXPECT_EQ(map->strip->map().unreadable, failed);
    EXPECT_EQ(map->strip->map().size, 1474560);
    prompts.answers = {PromptAnswer::Yes};
    dialog->SpeedButton2->click();
    EXPECT_EQ(texts(), std::vector<QString>{QStringLiteral("en 130")});
    const QString serial = QString::number(0x0badcafeu);
    ASSERT_EQ(registered().size(), 1u);
    EXPECT_EQ(registered()[0].toBytes(),
              (RegisterRecord{serial, QStringLiteral("DISK1"), QString()}.toBytes()));
    EXPECT_EQ(form->Label1->text(), pageTitleOf(form->SpeedButton5->text()));
    ASSERT_EQ(form->CheckListBox1->count(), 1) << "the register page is shown anew";
    EXPECT_EQ(form->CheckListBox1->item(0)->text(), QStringLiteral("DISK1(") + serial + ')');
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(map->isVisible()) << "the map outlives the dialog";

    // Registered now: asked before the test, and told so instead of a second entry.
    prompts.shown.clear();
    openTestOnE();
    EXPECT_FALSE(dialog->isDamaged()) << "each showing starts clean";
    prompts.answers = {PromptAnswer::Yes};
    dialog->SpeedButton1->click();
    finishTest();
    dialog->SpeedButton2->click();
    EXPECT_EQ(texts(), (std::vector<QString>{QStringLiteral("en 166"), QStringLiteral("en 165")}));
    EXPECT_EQ(registered().size(), 1u);
}

TEST_F(TForm2Test, ADamagedMediumWithoutIdentityIsNotRegistered) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    // No serial number and no label: an entry for it would match every such medium.
    const QString image = dir.file(QStringLiteral("floppy.img"));
    test::MediaImages::floppy(image, QString(), 0);
    FaultyMedium medium(image, {{1000 * 512, 1001 * 512}});
    drives.setDevice('E', medium.path());
    dir.write(QStringLiteral("drives.fgv"), {});
    WindowFixture::createWindow(test::numberedLanguageFile(QStringLiteral("en "), 266));
    dialog = window->form2();
    openTestOnE();
    dialog->SpeedButton1->click();
    finishTest();
    ASSERT_TRUE(dialog->isDamaged());
    prompts.answers = {PromptAnswer::Yes};
    QTest::mouseClick(dialog->SpeedButton2, Qt::LeftButton);
    EXPECT_EQ(texts(), (std::vector<QString>{QStringLiteral("en 265"), QStringLiteral("en 101")}));
    EXPECT_TRUE(registered().empty());
}

TEST_F(TForm2Test, NoMediumOrARegisteredOneDeclinedComesBackAtOnce) {
    drives.setDevice('E', dir.file(QStringLiteral("no-such.img")));
    createWindow();
    openTestOnE();
    dialog->SpeedButton1->click();
    EXPECT_EQ(texts(), std::vector<QString>{QStringLiteral("en 176")});
    EXPECT_EQ(dialog->SpeedButton1->text(), QStringLiteral("en 126"));
    EXPECT_TRUE(dialog->SpeedButton2->isEnabled());
    EXPECT_FALSE(dialog->isTesting());
    dialog->SpeedButton2->click();

    // Two entries for the medium: one question each, and No ends it before any read.
    const QString image = dir.file(QStringLiteral("floppy.img"));
    test::MediaImages::floppy(image, QStringLiteral("DISK1"), 2147483648u);
    drives.setDevice('E', image);
    const RegisterRecord entry{QStringLiteral("2147483648"), QStringLiteral("DISK1"), QString()};
    dir.write(QStringLiteral("drives.fgv"), entry.toBytes() + entry.toBytes());
    prompts.shown.clear();
    prompts.answers = {PromptAnswer::Yes, PromptAnswer::No};
    openTestOnE();
    dialog->SpeedButton1->click();
    EXPECT_EQ(texts(), (std::vector<QString>{QStringLiteral("en 166"), QStringLiteral("en 166")}));
    EXPECT_EQ(dialog->SpeedButton1->text(), QStringLiteral("en 126"));
    EXPECT_TRUE(dialog->SpeedButton2->isEnabled());
    EXPECT_FALSE(dialog->isTesting());
    EXPECT_TRUE(dialog->canvasText().isEmpty());

    // Nowhere to keep the test's map: the reason is shown and the test does not start.
    dir.remove(QStringLiteral("drives.fgv"));
    QDir(dir.file(QStringLiteral("maps"))).removeRecursively();
    dir.write(QStringLiteral("maps"), "a file where the folder belongs");
    prompts.shown.clear();
    openTestOnE();
    dialog->SpeedButton1->click();
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_TRUE(texts()[0].contains(dir.file(QStringLiteral("maps")))) << texts()[0].toStdString();
    EXPECT_EQ(dialog->SpeedButton1->text(), QStringLiteral("en 126"));
    EXPECT_TRUE(dialog->SpeedButton2->isEnabled());
    EXPECT_FALSE(dialog->isTesting());
    EXPECT_TRUE(dialog->canvasText().isEmpty());
}

TEST_F(TForm2Test, AStoppedTestReturnsToIdleAndKeepsWhatItFound) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    // Group 1500 fails at once; from group 1600 on every read takes a while. The places where
    // its identity is read stay readable: a medium without one is not offered.
    const auto medium = floppyInE({{1500 * 512, 1501 * 512}, {1600 * 512, 2000 * 512}},
                                  {.delayMs = 20, .multithreaded = true});
    createWindow();
    openTestOnE();
    dialog->SpeedButton1->click();
    const QDeadlineTimer deadline(10000);
    while (!dialog->isDamaged() && !deadline.hasExpired())
        QCoreApplication::processEvents();
    ASSERT_TRUE(dialog->isDamaged());
    const QDir maps(dir.file(QStringLiteral("maps")));
    EXPECT_EQ(maps.entryList({QStringLiteral("*.map")}, QDir::Files).size(), 1)
        << "the running test keeps its map";
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible()) << "only the close button leaves a running test";

    dialog->SpeedButton1->click(); // stop
    EXPECT_EQ(dialog->SpeedButton1->text(), QStringLiteral("en 126"));
    finishTest();
    EXPECT_FALSE(dialog->isTesting());
    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("en 127"));
    EXPECT_EQ(dialog->ProgressBar1->progress(), 0);
    EXPECT_TRUE(dialog->SpeedButton2->isEnabled());
    EXPECT_TRUE(dialog->isDamaged());
    EXPECT_EQ(maps.entryList(QDir::Files), QStringList()) << "and drops it once stopped";
    dialog->SpeedButton2->click(); // No to the offer
    EXPECT_EQ(texts(), std::vector<QString>{QStringLiteral("en 130")});
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(TForm2Test, GaugesAtHalfwayShowPlainlyHalfFullInEverySkin) {
    for (int skin = 0; skin < 3; ++skin) {
        dir.writeSettings({0, 2, 0, 0, 0, 1, 3, 2, 0, 1, skin});
        window.reset();
        WindowFixture::createWindow();
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
