// The sector viewer on image drives: a sector's bytes in their cells, a CD sector's rows past
// the visible grid, the sector saved to a file, one edited cell written back as one byte, the
// drive information, and the refusals and failures the user is told about.

#include "window/SectorViewerPage.h"

#include "disk/SectorText.h"
#include "platform/DriveMap.h"
#include "support/FaultyMedium.h"
#include "support/LoopMount.h"
#include "support/MediaImages.h"
#include "support/WindowFixture.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/SpinEdit.h"
#include "window/TForm1.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace fr {
namespace {

QByteArray languageFile() {
    QByteArray content;
    for (int line = 0; line <= 240; ++line)
        content += QStringLiteral("en %1").arg(line).toUtf8() + "\r\n";
    return content;
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void patch(const QString& path, qint64 offset, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(offset));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The positions where two equally long byte strings differ.
std::vector<qsizetype> differences(const QByteArray& a, const QByteArray& b) {
    std::vector<qsizetype> at;
    for (qsizetype index = 0; index < std::min(a.size(), b.size()); ++index)
        if (a[index] != b[index])
            at.push_back(index);
    return at;
}

class SectorViewerPageTest : public test::WindowFixture {
protected:
    void SetUp() override {
        createWindow(languageFile());
        fatImage = images.filePath(QStringLiteral("data.img"));
        test::MediaImages::fat(fatImage, 16, QStringLiteral("DATA"), 0x1234abcd);
        drives.setDevice('F', fatImage);
    }
    SectorViewerPage& page() { return *window->sectorViewerPage(); }
    // Opens the page and shows this sector of the drive.
    void show(QChar letter, qint64 sector) {
        form->SpeedButton9Click(form->SpeedButton7);
        form->DriveComboBox1->setDrive(letter);
        ASSERT_EQ(form->DriveComboBox1->drive(), letter);
        prompts.shown.clear();
        form->SpinEdit1->setValue(sector);
        page().SpinEdit1Change();
    }

    QTemporaryDir images; // image files standing for devices, on no drive
    QString fatImage;
};

TEST_F(SectorViewerPageTest, ShowsEachByteInItsCellAndSavesTheSectorAsRead) {
    patch(fatImage, 5 * 512 + 0x1F3, "A");
    show('F', 5);
    EXPECT_EQ(texts(), std::vector<QString>{});
    EXPECT_EQ(page().lastRow(), 31);
    EXPECT_EQ(page().cellText(3, 31), QStringLiteral("A"));
    EXPECT_EQ(page().sectorBuffer(), contentOf(fatImage).mid(5 * 512, 512));
    EXPECT_TRUE(page().cellText(16, 0).isEmpty());
    EXPECT_TRUE(page().cellText(0, 32).isEmpty());

    // Saved as read, not as edited.
    page().setCellText(0, 0, QStringLiteral("Q"));
    const QString saved = media.filePath(QStringLiteral("sector.bin"));
    dialogs.answers.push_back(saved);
    page().SpeedButton29Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("en 114"));
    EXPECT_EQ(form->SaveDialog1.title, QStringLiteral("en 32"));
    EXPECT_EQ(contentOf(saved), contentOf(fatImage).mid(5 * 512, 512));

    dialogs.answers.push_back(images.filePath(QStringLiteral("no/such/folder/sector.bin")));
    page().SpeedButton29Click();
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_TRUE(texts()[0].startsWith(QStringLiteral("en 183\r"))) << texts()[0].toStdString();
}

TEST_F(SectorViewerPageTest, AnEditedCellChangesExactlyOneByteAfterTheQuestion) {
    show('F', 3);
    const QByteArray before = contentOf(fatImage);
    page().setCellText(3, 31, QStringLiteral("B"));
    page().setCellText(0, 0, QString()); // an emptied cell keeps its byte

    prompts.answers.push_back(PromptAnswer::No);
    EXPECT_FALSE(page().SpeedButton31Click());
    EXPECT_EQ(contentOf(fatImage), before);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("en 137\r\ren 138\r\ren 139"));

    prompts.answers.push_back(PromptAnswer::Yes);
    EXPECT_TRUE(page().SpeedButton31Click());
    const QByteArray after = contentOf(fatImage);
    EXPECT_EQ(differences(before, after), std::vector<qsizetype>{3 * 512 + 0x1F3});
    EXPECT_EQ(after[3 * 512 + 0x1F3], 'B');
}

TEST_F(SectorViewerPageTest, AMountedVolumeIsUnmountedForTheWriteTheRootOneNever) {
    QString why;
    if (!test::LoopMount::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QString image = images.filePath(QStringLiteral("home.img"));
    test::MediaImages::ext4(image, QStringLiteral("HOME"),
                            QStringLiteral("0123abcd-4567-89ab-cdef-0123456789ab"),
                            {{QStringLiteral("busy.txt"), QByteArray("in use")}});
    QDir(images.path()).mkpath(QStringLiteral("mnt"));
    test::LoopMount mounted(image, images.filePath(QStringLiteral("mnt")));
    ASSERT_TRUE(mounted.mounted()) << mounted.error().toStdString();
    drives.setDevice('H', image);
    show('H', 1); // below the superblock, which the mounted file system rewrites itself
    EXPECT_EQ(page().lastRow(), 31);
    const qint64 changed = 512 + 17;
    page().setCellText(1, 1, QStringLiteral("W"));

    // A file held open keeps the file system busy: nothing is written.
    QFile busy(images.filePath(QStringLiteral("mnt/busy.txt")));
    ASSERT_TRUE(busy.open(QIODevice::ReadOnly));
    prompts.answers = {PromptAnswer::Yes};
    EXPECT_FALSE(page().SpeedButton31Click());
    ASSERT_EQ(texts().size(), 2u);
    EXPECT_TRUE(texts()[1].startsWith(QStringLiteral("en 233"))) << texts()[1].toStdString();
    EXPECT_NE(contentOf(image)[changed], 'W');

    busy.close();
    prompts.shown.clear();
    prompts.answers = {PromptAnswer::Yes};
    EXPECT_TRUE(page().SpeedButton31Click());
    EXPECT_EQ(texts().size(), 1u);
    EXPECT_EQ(contentOf(image)[changed], 'W');

    // The root file system, with unchanged bytes, so nothing would be lost if the refusal failed.
    // Its sector is shown only when its file system is one the page reads; otherwise nothing
    // was read and nothing is written.
    const DriveMap driveMap = context.disk.drives(); // the drive below points into it
    const Drive* root = driveMap.drive('C');
    if (!root || root->device.isEmpty())
        return; // the root file system has no device here
    show('C', 1);
    const bool read = !page().sectorBuffer().isEmpty();
    prompts.answers = {PromptAnswer::Yes};
    EXPECT_FALSE(page().SpeedButton31Click());
    ASSERT_FALSE(texts().empty());
    EXPECT_TRUE(
        texts().back().startsWith(read ? QStringLiteral("en 233") : QStringLiteral("en 231")))
        << texts().back().toStdString();
}

TEST_F(SectorViewerPageTest, ACdSectorFillsRowsPastTheGridAndIsWrittenBackWhole) {
    const QString iso = images.filePath(QStringLiteral("photos.iso"));
    test::MediaImages::iso9660(iso, QStringLiteral("PHOTOS"),
                               {{QStringLiteral("a.txt"), QByteArray("photo")}});
    drives.setDevice('R', iso);
    show('R', 16); // the volume descriptor
    EXPECT_EQ(texts(), std::vector<QString>{});
    EXPECT_EQ(page().lastRow(), 127);
    ASSERT_EQ(page().sectorBuffer().size(), 2048);
    const QByteArray before = contentOf(iso);
    EXPECT_EQ(page().cellText(1, 0), QStringLiteral("C")); // "CD001"
    EXPECT_EQ(page().cellText(15, 127),
              QString(SectorText::charOf(std::uint8_t(before[16 * 2048 + 2047]))));

    page().setCellText(5, 100, QStringLiteral("Z"));
    prompts.answers.push_back(PromptAnswer::Yes);
    EXPECT_TRUE(page().SpeedButton31Click());
    EXPECT_EQ(differences(before, contentOf(iso)), std::vector<qsizetype>{16 * 2048 + 1605});

    // Back to a disk drive: only its 32 rows are shown, the CD's last one is gone.
    show('F', 0);
    EXPECT_EQ(page().lastRow(), 31);
    EXPECT_TRUE(page().cellText(0, 32).isEmpty());
}

TEST_F(SectorViewerPageTest, TheDriveInformationCountsFreeSpaceInClusters) {
    show('F', 1);
    page().SpeedButton30Click();
    ASSERT_EQ(texts().size(), 1u);
    // An image drive is laid out as its bare sectors: 16 MiB in 512-byte clusters, none free.
    EXPECT_EQ(texts()[0], QStringLiteral("en 115\r\r"
                                         "en 1160.0156 GB\r"
                                         "en 1170 GB\r\r"
                                         "en 11832768\r"
                                         "en 11932768\r"
                                         "en 120512 b\r"
                                         "en 121512 b\r\r"
                                         "en 122DATA\r"
                                         "en 123%1\r"
                                         "en 124FAT")
                              .arg(0x1234abcdu));
}

TEST_F(SectorViewerPageTest, FailedReadsUnreadableDrivesAndAudioCdsAreReported) {
    show('F', 1);
    // Past the end of the 16 MiB volume: nothing of the sector shown before stays in view.
    form->SpinEdit1->setValue(40000);
    EXPECT_EQ(texts(), std::vector<QString>{"en 231"});
    EXPECT_TRUE(page().cellText(0, 0).isEmpty());
    EXPECT_TRUE(page().cellText(15, 31).isEmpty());
    EXPECT_TRUE(page().sectorBuffer().isEmpty());

    // A drive with no medium and no label in the box.
    const QString empty = images.filePath(QStringLiteral("empty.img"));
    ASSERT_TRUE(QFile(empty).open(QIODevice::WriteOnly));
    drives.setDevice('G', empty);
    form->SpeedButton9Click(form->SpeedButton7);
    form->DriveComboBox1->setDrive('G');
    ASSERT_EQ(form->DriveComboBox1->drive(), QChar('G'));
    prompts.shown.clear();
    page().SpeedButton28Click();
    EXPECT_EQ(texts(), std::vector<QString>{"en 172"});

    // An audio CD has no sectors to show, and is named.
    const QString bin = images.filePath(QStringLiteral("album.bin"));
    patch(bin, 0, QByteArray(300 * 2352, '\x11'));
    QFile cue(images.filePath(QStringLiteral("album.cue")));
    ASSERT_TRUE(cue.open(QIODevice::WriteOnly));
    cue.write("FILE \"album.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n");
    cue.close();
    drives.setDevice('R', cue.fileName());
    form->SpeedButton9Click(form->SpeedButton7); // the drive list read again
    form->DriveComboBox1->setDrive('R');
    ASSERT_EQ(form->DriveComboBox1->currentText().mid(4, 8), QStringLiteral("AUDIO CD"));
    prompts.shown.clear();
    page().SpeedButton28Click();
    EXPECT_EQ(texts(), std::vector<QString>{"en 171"});
}

TEST_F(SectorViewerPageTest, OnlyASectorReadFromTheChosenDriveAndNumberIsWrittenOrSaved) {
    QString why;
    if (!test::FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    patch(fatImage, 6000 * 512 + 100, "SIX");
    patch(fatImage, 6001 * 512 + 100, "SEVEN");
    test::FaultyMedium medium(fatImage, {{6001 * 512, 6002 * 512}});
    drives.setDevice('F', medium.path());
    const QString blank = images.filePath(QStringLiteral("blank.img"));
    patch(blank, (4 << 20) - 1, QByteArray(1, '\0'));
    drives.setDevice('G', blank);
    form->show();
    show('F', 6000);
    ASSERT_EQ(page().cellText(4, 6), QStringLiteral("S"));
    EXPECT_TRUE(form->SpeedButton31->isEnabled());
    const QByteArray before = contentOf(medium.backingPath());

    // Sector 6001 cannot be read: the grid is empty, and neither button takes it as sector 6001.
    form->SpinEdit1->setValue(6001);
    EXPECT_EQ(texts(), std::vector<QString>{"en 231"});
    EXPECT_TRUE(page().cellText(4, 6).isEmpty());
    EXPECT_FALSE(form->SpeedButton31->isEnabled());
    EXPECT_FALSE(form->SpeedButton29->isEnabled());
    prompts.answers = {PromptAnswer::Yes};
    QTest::mouseClick(form->SpeedButton31, Qt::LeftButton);
    EXPECT_FALSE(page().SpeedButton31Click());
    EXPECT_EQ(contentOf(medium.backingPath()), before);
    const QString saved = media.filePath(QStringLiteral("sector.bin"));
    dialogs.answers.push_back(saved);
    page().SpeedButton29Click();
    EXPECT_FALSE(QFile::exists(saved));
    EXPECT_TRUE(dialogs.shown.empty()) << "refused before a file is chosen";

    // A sector read from F is not written to G, whose file system is not recognised either.
    form->SpinEdit1->setValue(6000);
    ASSERT_EQ(page().cellText(4, 6), QStringLiteral("S"));
    form->DriveComboBox1->setDrive('G');
    ASSERT_EQ(form->DriveComboBox1->drive(), QChar('G'));
    EXPECT_TRUE(page().cellText(4, 6).isEmpty());
    prompts.answers = {PromptAnswer::Yes};
    EXPECT_FALSE(page().SpeedButton31Click());
    form->SpinEdit1->setValue(5999);
    form->SpinEdit1->setValue(6000);
    EXPECT_TRUE(page().cellText(4, 6).isEmpty());
    EXPECT_FALSE(form->SpeedButton31->isEnabled());
    prompts.answers = {PromptAnswer::Yes};
    EXPECT_FALSE(page().SpeedButton31Click());
    EXPECT_EQ(contentOf(blank), QByteArray(4 << 20, '\0'));

    // Back on F, the sector read again is written as edited.
    form->DriveComboBox1->setDrive('F');
    form->SpinEdit1->setValue(5999);
    form->SpinEdit1->setValue(6000);
    page().setCellText(4, 6, QStringLiteral("T"));
    prompts.answers = {PromptAnswer::Yes};
    QTest::mouseClick(form->SpeedButton31, Qt::LeftButton);
    EXPECT_EQ(differences(before, contentOf(medium.backingPath())),
              std::vector<qsizetype>{6000 * 512 + 100});
}

// The shipped languages, as a user sees them.
class SectorViewerInEveryLanguageTest : public test::WindowFixture {
protected:
    void SetUp() override { createWindow(); }
};

TEST_F(SectorViewerInEveryLanguageTest, EveryByteIsDrawnWithAGlyphOfTheGridsFont) {
    const QFontMetrics metrics(form->StringGrid1->font());
    for (int value = 0; value < 256; ++value)
        EXPECT_TRUE(metrics.inFont(SectorText::charOf(std::uint8_t(value))))
            << value << " would be drawn as an empty box in "
            << form->StringGrid1->font().family().toStdString();
}

TEST_F(SectorViewerInEveryLanguageTest, EveryCaptionFitsItsButton) {
    form->show();
    for (int language = 0; language < 6; ++language) {
        context.settings.language = static_cast<std::uint8_t>(language);
        form->reapplySettings();
        form->SpeedButton9Click(form->SpeedButton7);
        for (QWidget* button :
             std::initializer_list<QWidget*>{form->SpeedButton28, form->SpeedButton29,
                                             form->SpeedButton30, form->SpeedButton31})
            EXPECT_LE(button->sizeHint().width(), button->width())
                << "language " << language << ": " << button->objectName().toStdString() << " "
                << button->property("text").toString().toStdString();
    }
}

} // namespace
} // namespace fr
