// The format page and its dialog: the drive index handed to the dialog, an image drive
// formatted from the real window after the question naming it, the refusals, and the dialog's
// texts fitting in every language.

#include "window/FormatPage.h"

#include "core/LanguageTable.h"
#include "disk/MediaIdentity.h"
#include "platform/DriveMap.h"
#include "platform/Prompts.h"
#include "support/LoopDevice.h"
#include "support/WindowFixture.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "window/FormatDialog.h"
#include "window/TForm1.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace fr {
namespace {

QByteArray languageFile() {
    QByteArray content;
    for (int line = 0; line <= 265; ++line)
        content += QStringLiteral("en %1 ").arg(line).toUtf8() + "\r\n";
    return content;
}

QByteArray hashOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

class FormatPageTest : public test::WindowFixture {
protected:
    void SetUp() override { createWindow(languageFile()); }

    QString blankImage(const QString& name) const {
        const QString path = media.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(file.resize(8 << 20));
        return path;
    }

    // Opens the page with drive `letter` chosen and presses its button.
    void pressFormat(QChar letter) {
        QTest::mouseClick(form->SpeedButton6, Qt::LeftButton);
        form->DriveComboBox1->setDrive(letter);
        ASSERT_EQ(form->DriveComboBox1->drive(), letter);
        QTest::mouseClick(form->SpeedButton12, Qt::LeftButton);
    }

    FormatDialog& dialog() const { return *window->formatDialog(); }
};

TEST_F(FormatPageTest, TheDialogGetsTheZeroBasedDriveIndexAndFullFormat) {
    drives.setDevice('A', blankImage(QStringLiteral("floppy.img")));
    // A C: of its own: the machine's C: holds the system, which is never offered.
    drives.setDevice('C', blankImage(QStringLiteral("disk.img")));
    form->show();
    std::vector<std::pair<int, unsigned>> opened;
    window->formatPage()->setDialogOpener(
        [&opened](int index, unsigned options) { opened.emplace_back(index, options); });
    pressFormat('A');
    pressFormat('C');
    pressFormat('D');
    const std::vector<std::pair<int, unsigned>> expected{{0, 1u}, {2, 1u}, {3, 1u}};
    EXPECT_EQ(opened, expected);
}

TEST_F(FormatPageTest, AnImageDriveIsFormattedAfterTheQuestionNamingIt) {
    const QString image = blankImage(QStringLiteral("stick.img"));
    drives.setDevice('E', image);
    form->show();
    pressFormat('E');
    ASSERT_TRUE(dialog().isVisible());
    EXPECT_TRUE(dialog().isModal());
    EXPECT_TRUE(dialog().fullButton->isChecked()) << "full format is preselected";
    EXPECT_EQ(dialog().deviceValue->toolTip(), image);
    EXPECT_EQ(dialog().labelValue->text(), context.text(167)) << "no label yet";
    ASSERT_EQ(dialog().fileSystemBox->currentText(), QStringLiteral("FAT"));

    // No: nothing is written.
    const QByteArray blank = hashOf(image);
    dialog().newLabelEdit->setText(QStringLiteral("photos"));
    QTest::mouseClick(dialog().formatButton, Qt::LeftButton);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, context.text(246) + QStringLiteral("E:"));
    EXPECT_FALSE(dialog().isFormatting());
    EXPECT_EQ(hashOf(image), blank);

    prompts.answers.push_back(PromptAnswer::Yes);
    QTest::mouseClick(dialog().formatButton, Qt::LeftButton);
    EXPECT_FALSE(dialog().formatButton->isEnabled()) << "one format at a time";
    dialog().waitForFormat();
    EXPECT_EQ(dialog().status->text(), context.text(232));
    EXPECT_EQ(dialog().progress->value(), 100);
    EXPECT_EQ(prompts.shown.size(), 2u);
    const TMediaIdentifier identity = MediaIdentity::identify(image);
    EXPECT_EQ(identity.VolumeLabel, QStringLiteral("PHOTOS"));
    EXPECT_TRUE(identity.FileSystemName.startsWith(QLatin1String("FAT")));
    EXPECT_EQ(dialog().labelValue->text(), QStringLiteral("PHOTOS"));
    QTest::mouseClick(dialog().closeButton, Qt::LeftButton);
    EXPECT_FALSE(dialog().isVisible());
}

TEST_F(FormatPageTest, TheSystemDriveAndADriveWithoutMediumAreRefused) {
    const DriveMap driveMap = DriveMap::build(context.programDir); // the drive points into it
    const Drive* root = driveMap.drive('C');
    ASSERT_NE(root, nullptr);
    if (root->device.isEmpty())
        GTEST_SKIP() << "the root file system has no device here";
    form->show();
    // C: is the drive of "/": refused before any question, the reason on the page.
    prompts.answers = {PromptAnswer::Yes, PromptAnswer::Yes};
    pressFormat('C');
    EXPECT_FALSE(form->SpeedButton12->isEnabled());
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(form->Label3->isVisible());
    EXPECT_TRUE(form->Label3->text().startsWith(context.text(264)))
        << form->Label3->text().toStdString();
    // Called all the same, the page refuses with the reason and opens nothing.
    window->formatPage()->Formating();
    EXPECT_FALSE(dialog().isVisible());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(context.text(264)));
    // The dialog itself, opened for it, offers nothing and asks nothing.
    prompts.shown.clear();
    dialog().openFor(form, 'C' - 'A', FormatDialog::kFullFormat);
    EXPECT_FALSE(dialog().formatButton->isEnabled());
    EXPECT_TRUE(dialog().status->text().startsWith(context.text(264)));
    dialog().formatDrive();
    EXPECT_FALSE(dialog().isFormatting());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
    dialog().reject();

    // Another drive takes the button back.
    drives.setDevice('E', blankImage(QStringLiteral("stick.img")));
    form->refreshDriveList();
    form->DriveComboBox1->setDrive('E');
    EXPECT_TRUE(form->SpeedButton12->isEnabled());
    EXPECT_FALSE(form->Label3->isVisible());
    prompts.shown.clear();
    prompts.answers.clear();
    // D: is a folder without a device.
    prompts.shown.clear();
    pressFormat('D');
    EXPECT_FALSE(dialog().isVisible());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, context.text(176));
}

TEST_F(FormatPageTest, ALoopDeviceVolumeIsStillFormatted) {
    QString why;
    if (!test::LoopDevice::available(&why))
        GTEST_SKIP() << why.toStdString();
    test::LoopDevice loop(blankImage(QStringLiteral("stick.img")));
    drives.setDevice('E', loop.path());
    form->show();
    prompts.answers = {PromptAnswer::Yes};
    pressFormat('E');
    EXPECT_FALSE(form->Label3->isVisible());
    ASSERT_TRUE(dialog().isVisible());
    ASSERT_TRUE(dialog().formatButton->isEnabled());
    QTest::mouseClick(dialog().formatButton, Qt::LeftButton);
    dialog().waitForFormat();
    EXPECT_EQ(dialog().status->text(), context.text(232));
    dialog().reject();
}

TEST_F(FormatPageTest, EveryTextOfTheDialogFitsInEveryLanguage) {
    drives.setDevice('E', blankImage(QStringLiteral("stick.img")));
    for (int language = 0; language < 6; ++language) {
        const QString file =
            test::TempProgramDir::shippedDataDir() + '/' + LanguageTable::fileName(language);
        ASSERT_EQ(context.language.load(file), QString());
        dialog().openFor(form, 'E' - 'A', FormatDialog::kFullFormat);
        for (QLabel* caption : {dialog().deviceCaption, dialog().labelCaption,
                                dialog().fileSystemCaption, dialog().newLabelCaption})
            EXPECT_LE(caption->fontMetrics().horizontalAdvance(caption->text()), caption->width())
                << file.toStdString() << ": " << caption->text().toStdString();
        for (QAbstractButton* button :
             std::initializer_list<QAbstractButton*>{dialog().quickButton, dialog().fullButton,
                                                     dialog().formatButton, dialog().closeButton})
            EXPECT_LE(button->sizeHint().width(), button->width())
                << file.toStdString() << ": " << button->text().toStdString();
        dialog().reject();
    }
}

} // namespace
} // namespace fr
