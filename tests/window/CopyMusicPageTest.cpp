// The copy-music page over BIN/CUE discs in CD drives: the real ripper and encoder, the tag
// writer, and the tag dialog.

#include "window/CopyMusicPage.h"

#include "audio/Id3Tag.h"
#include "audio/TCDRIP.h"
#include "support/FaultyMedium.h"
#include "support/MediaImages.h"
#include "support/TestDisc.h"
#include "support/TmpfsMount.h"
#include "support/WindowFixture.h"
#include "widgets/CheckListBox.h"
#include "widgets/FlatButton.h"
#include "widgets/LabeledEdit.h"
#include "widgets/PieGauge.h"
#include "widgets/SpinEdit.h"
#include "window/SettingsPage.h"
#include "window/Tid3form.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace fr {
namespace {

using test::TestDisc;

QByteArray readAll(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray tagOf(const Id3Record& record, int track) {
    const auto tag = id3v1Tag(record, track);
    return QByteArray(reinterpret_cast<const char*>(tag.data()), kId3TagSize);
}

class CopyMusicPageTest : public test::WindowFixture {
protected:
    // A disc of `audioSectors` tracks in drive `letter`, after a data track when `dataSectors`
    // is not 0.
    void insertDisc(char letter, const std::vector<int>& audioSectors, int dataSectors = 0) {
        const QString name = QStringLiteral("disc-") + QChar(letter);
        discs.push_back(std::make_unique<TestDisc>(dir.path(), name, audioSectors, dataSectors));
        drives.setDevice(letter, discs.back()->cueSheet());
    }

    void openPage() {
        form->show();
        form->SpeedButton9Click(form->SpeedButton2);
    }

    CopyMusicPage& page() { return *window->copyMusicPage(); }
    TCDRIP& ripper() { return *window->ripper(); }
    QString music(const QString& name) const { return media.path() + "/music/" + name; }

    // Ticks tracks (from 1) and rips them into D:\music.
    void rip(std::initializer_list<int> tracks) {
        QDir(media.path()).mkpath(QStringLiteral("music"));
        form->Edit1->setText(QStringLiteral("D:\\music"));
        for (int track : tracks)
            form->CheckListBox1->setChecked(track - 1, true);
        QTest::mouseClick(form->SpeedButton16, Qt::LeftButton);
    }

    void expectIdle() {
        EXPECT_FALSE(page().ripping());
        EXPECT_TRUE(form->SpeedButton16->isEnabled());
        EXPECT_TRUE(form->SpeedButton23->isEnabled());
        EXPECT_FALSE(form->SpeedButton17->isEnabled());
        EXPECT_TRUE(form->CheckListBox1->isEnabled());
        EXPECT_TRUE(form->ComboBox1->isEnabled());
        EXPECT_TRUE(form->Edit1->isEnabled());
        EXPECT_EQ(form->CheckListBox1->height(), 129);
        EXPECT_FALSE(form->Gauge1->isVisible());
        for (int number = 1; number <= 10; ++number)
            EXPECT_TRUE(form->commandButton(number)->isEnabled()) << number;
    }

    std::vector<std::unique_ptr<TestDisc>> discs;
};

TEST_F(CopyMusicPageTest, RipsTheTickedTracksToTaggedMp3sThatDecode) {
    insertDisc('R', {150, 160, 150, 150, 170});
    createWindow();
    openPage();
    ASSERT_EQ(form->CheckListBox1->count(), 5);
    EXPECT_EQ(form->CheckListBox1->item(1)->text(), trackTitle(context.text(84), 2));
    Id3Record::setText(context.id3Records[5].Title, QStringLiteral("Finale"));
    // What the status line says as each track begins, and whether the page looked busy then.
    QStringList status;
    auto begin = ripper().OnBeginTrack;
    ripper().OnBeginTrack = [&](TCDRIP* sender, std::uint16_t track) {
        begin(sender, track);
        status << form->Label4->text();
        EXPECT_TRUE(form->SpeedButton17->isEnabled());
        EXPECT_FALSE(form->SpeedButton16->isEnabled());
        EXPECT_FALSE(form->SpeedButton1->isEnabled()) << "no other page while ripping";
        EXPECT_EQ(form->CheckListBox1->height(), 80);
    };

    rip({2, 5});
    EXPECT_TRUE(prompts.shown.empty()) << prompts.shown.front().text.toStdString();
    EXPECT_EQ(status, (QStringList{context.text(83) + "2", context.text(83) + "5"}));
    EXPECT_EQ(form->Label4->text(), context.text(83) + "5") << "the last track stays shown";
    expectIdle();
    EXPECT_EQ(QDir(media.path() + "/music").entryList(QDir::Files),
              (QStringList{"2.mp3", "5.mp3"}));
    for (int track : {2, 5}) {
        const QByteArray mp3 = readAll(music(QString::number(track) + ".mp3"));
        EXPECT_EQ(mp3.right(kId3TagSize), tagOf(context.id3Records[track], track)) << track;
    }
    if (QStandardPaths::findExecutable("mpg123").isEmpty())
        GTEST_SKIP() << "mpg123 is not installed: scripts/setup installs it";
    const auto decodedSize = [this](const QString& mp3, const QString& wav) {
        QProcess mpg123;
        mpg123.start("mpg123", {"-q", "-w", music(wav), music(mp3)});
        EXPECT_TRUE(mpg123.waitForFinished(60000));
        EXPECT_EQ(mpg123.exitCode(), 0) << mp3.toStdString();
        return readAll(music(wav)).size();
    };
    // The stream as the encoder made it, without the version 2 tag in front: the header frame
    // that gives the exact length must still be the first frame the decoder meets.
    const QByteArray tagged = readAll(music("5.mp3"));
    ASSERT_TRUE(tagged.startsWith("ID3\x04"));
    const qsizetype version2 = 10 + ((quint8(tagged[6]) & 0x7f) << 21) +
                               ((quint8(tagged[7]) & 0x7f) << 14) +
                               ((quint8(tagged[8]) & 0x7f) << 7) + (quint8(tagged[9]) & 0x7f);
    QFile untagged(music("5-untagged.mp3"));
    ASSERT_TRUE(untagged.open(QIODevice::WriteOnly));
    untagged.write(tagged.mid(version2));
    untagged.close();
    const qsizetype size = decodedSize("5.mp3", "5.wav");
    EXPECT_EQ(size, decodedSize("5-untagged.mp3", "5-untagged.wav"));
    // 170 sectors are 99,960 frames; the encoder leaves out less than one chunk of them.
    EXPECT_GT(size, 44 + 4 * 98000);
}

TEST_F(CopyMusicPageTest, AStopTagsTheStoppedTrackAndStartsNoOther) {
    insertDisc('R', {150, 600, 150, 150, 150});
    createWindow();
    openPage();
    auto progress = ripper().OnProgress;
    int reports = 0;
    ripper().OnProgress = [&](TCDRIP* sender, std::uint16_t percent) {
        progress(sender, percent);
        if (++reports == 2)
            QTest::mouseClick(form->SpeedButton17, Qt::LeftButton);
    };
    rip({2, 5});
    EXPECT_TRUE(prompts.shown.empty());
    expectIdle();
    const QByteArray stopped = readAll(music("2.mp3"));
    EXPECT_EQ(stopped.right(kId3TagSize), tagOf(context.id3Records[2], 2));
    EXPECT_LT(stopped.size(), 600 * 2352 / 20) << "the whole track was ripped despite the stop";
    EXPECT_FALSE(QFile::exists(music("5.mp3")));
    EXPECT_EQ(form->Label4->text(), context.text(268).arg(2)) << "which track was cut short";
}

// A full disk: the MP3 that holds part of the track and no tag is taken away, and the user
// learns which file could not be written and why.
TEST_F(CopyMusicPageTest, AWriteErrorLeavesNoPartialMp3AndSaysWhy) {
    QString why;
    if (!test::TmpfsMount::available(&why))
        GTEST_SKIP() << why.toStdString();
    insertDisc('R', {150, 600});
    createWindow();
    openPage();
    QDir(media.path()).mkpath(QStringLiteral("music"));
    test::TmpfsMount small(media.path() + "/music", 48 * 1024);
    ASSERT_TRUE(small.mounted()) << small.error().toStdString();
    rip({2});
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(context.text(226) + "D:\\music\\2.mp3: "))
        << prompts.shown[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(music("2.mp3")));
    expectIdle();
}

// One unreadable sector of the disc: the track is ripped whole and the status line names it.
TEST_F(CopyMusicPageTest, TheStatusLineNamesSectorsThatCouldNotBeRead) {
    QString why;
    if (!test::FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    TestDisc disc(dir.path(), QStringLiteral("scratched"), {150, 300});
    const int bad = disc.starts()[1] + 100;
    test::FaultyMedium medium(disc.binFile(), {{qint64(bad) * 2352, qint64(bad) * 2352 + 16}},
                              {.name = QStringLiteral("disc.bin")});
    QTemporaryDir drive;
    ASSERT_TRUE(QFile::copy(disc.cueSheet(), drive.filePath("disc.cue")));
    ASSERT_TRUE(QFile::link(medium.path(), drive.filePath("disc.bin")));
    drives.setDevice('R', drive.filePath("disc.cue"));
    createWindow();
    openPage();
    rip({2});
    EXPECT_TRUE(prompts.shown.empty());
    ASSERT_EQ(ripper().UnreadableSectors().size(), 1u);
    const SectorRun run = ripper().UnreadableSectors().front();
    EXPECT_LE(run.first, std::uint32_t(bad));
    EXPECT_GE(run.last, std::uint32_t(bad));
    EXPECT_EQ(form->Label4->text(), context.text(267).arg(2).arg(sectorRunsText({run})));
    EXPECT_TRUE(readAll(music("2.mp3")).right(kId3TagSize).startsWith("TAG"));
}

TEST_F(CopyMusicPageTest, AFailedRipIsReportedWithItsReasonAndTheJobEnds) {
    insertDisc('R', {150, 150});
    createWindow();
    openPage();
    form->Edit1->setText(QString());
    QTest::mouseClick(form->SpeedButton16, Qt::LeftButton);
    ASSERT_EQ(texts(), std::vector<QString>{context.text(82)}) << "no folder, nothing starts";

    // The folder does not exist: no file can be made for the track.
    form->Edit1->setText(QStringLiteral("D:\\nowhere"));
    form->CheckListBox1->setChecked(0, true);
    QTest::mouseClick(form->SpeedButton16, Qt::LeftButton);
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[1].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown[1].text.startsWith("D:\\nowhere\\1.mp3: "))
        << "named as the user chose it: " << prompts.shown[1].text.toStdString();
    expectIdle();

    // A drive's root as chosen in the folder dialog, with its "\\".
    form->Edit1->setText(QStringLiteral("D:\\"));
    QTest::mouseClick(form->SpeedButton16, Qt::LeftButton);
    EXPECT_EQ(prompts.shown.size(), 2u);
    EXPECT_TRUE(readAll(media.filePath("1.mp3")).right(kId3TagSize).startsWith("TAG"));
}

TEST_F(CopyMusicPageTest, TwoDrivesAndADataFirstDiscThatTheSystemCallsAnAudioCd) {
    // R: holds a disc whose data track carries the volume name "Audio CD"; S: one without.
    const QString iso = dir.file("label.iso");
    test::MediaImages::iso9660(iso, QStringLiteral("Audio CD"), {{"a.txt", "a"}},
                               "2024010112000000");
    discs.push_back(std::make_unique<TestDisc>(
        TestDisc::mixedMode(dir.path(), QStringLiteral("disc-R"), readAll(iso), {150, 150})));
    drives.setDevice('R', discs.back()->cueSheet());
    insertDisc('S', {150}, 200);
    createWindow();

    openPage();
    ASSERT_EQ(form->ComboBox1->count(), 2);
    EXPECT_EQ(form->ComboBox1->itemText(0), "R:\\");
    EXPECT_EQ(form->ComboBox1->itemText(1), "S:\\");
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(form->CheckListBox1->count(), 3) << "the data-first disc is accepted";
    EXPECT_NE(context.driveInfo, TDriveInfo{}) << "the information of R: was read";

    form->ComboBox1->setCurrentIndex(1);
    EXPECT_EQ(ripper().CDRomNum(), 1);
    EXPECT_EQ(texts(), std::vector<QString>{context.text(77)});
    EXPECT_EQ(form->CheckListBox1->count(), 0);
    // The same drive again reads its disc anew; a tag's title shows after the track's name.
    Id3Record::setText(context.id3Records[1].Title, QStringLiteral("Overture"));
    form->ComboBox1->setCurrentIndex(0);
    EXPECT_EQ(ripper().CDRomNum(), 0);
    page().ComboBox1Change();
    ASSERT_EQ(form->CheckListBox1->count(), 3);
    EXPECT_EQ(form->CheckListBox1->item(0)->text(),
              trackTitle(context.text(84), 1) + " - Overture");
    EXPECT_EQ(form->CheckListBox1->item(1)->text(), trackTitle(context.text(84), 2) + " - ");
}

// The disc's cue sheet with CD-Text: the album's title and performer, each track's title and
// the second track's own performer, written in UTF-8 as cue sheets are today.
void addCdText(const QString& cueSheet, const QStringList& titles) {
    QFile file(cueSheet);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    file.close();
    lines.insert(0, QStringLiteral("PERFORMER \"Slovenská filharmónia\""));
    lines.insert(1, QStringLiteral("TITLE \"Čajkovskij – Labutie jazero\""));
    int track = 0;
    for (int i = 0; i < lines.size(); ++i) {
        if (!lines[i].trimmed().startsWith(QStringLiteral("TRACK ")))
            continue;
        lines.insert(++i, QStringLiteral("    TITLE \"%1\"").arg(titles.value(track)));
        if (++track == 2)
            lines.insert(++i, QStringLiteral("    PERFORMER \"Ondrej Lenárd\""));
    }
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(lines.join(QStringLiteral("\r\n")).toUtf8());
}

TEST_F(CopyMusicPageTest, ADiscsCdTextNamesItsTracksAndFillsTheirTagsOnce) {
    insertDisc('R', {150, 150, 150});
    const QStringList titles{"Scéna", "Valčík", "Tanec malých labutí"};
    addCdText(discs.back()->cueSheet(), titles);
    createWindow();
    openPage();
    ASSERT_EQ(form->CheckListBox1->count(), 3);
    for (int track = 1; track <= 3; ++track) {
        EXPECT_EQ(form->CheckListBox1->item(track - 1)->text(),
                  trackTitle(context.text(84), track) + " - " + titles[track - 1]);
        const Id3Record& record = context.id3Records[track];
        EXPECT_EQ(Id3Record::text(record.Title), titles[track - 1]);
        EXPECT_EQ(Id3Record::text(record.Album), "Čajkovskij – Labutie jazero");
        EXPECT_EQ(Id3Record::text(record.Artist),
                  track == 2 ? "Ondrej Lenárd" : "Slovenská filharmónia");
    }

    // What the user types afterwards stays when the page opens again on the same disc.
    Id3Record::setText(context.id3Records[1].Title, QStringLiteral("Scéna (live)"));
    form->SpeedButton9Click(form->SpeedButton1);
    form->CheckListBox1->clear();
    openPage();
    EXPECT_EQ(Id3Record::text(context.id3Records[1].Title), "Scéna (live)");
    EXPECT_EQ(form->CheckListBox1->item(0)->text(),
              trackTitle(context.text(84), 1) + " - Scéna (live)");
}

TEST_F(CopyMusicPageTest, WithoutTracksThePageSaysSoAndTheMp3SettingsOpen) {
    createWindow();
    openPage();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, context.text(79));
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Confirmation);
    EXPECT_EQ(form->CheckListBox1->count(), 0);

    QTest::mouseClick(form->SpeedButton23, Qt::LeftButton);
    EXPECT_TRUE(window->settingsPage()->isMarked(SettingsPage::Tab::Mp3));
    EXPECT_FALSE(form->SpeedButton16->isVisible()) << "the settings page replaced this one";
}

TEST_F(CopyMusicPageTest, TheTagDialogEditsTheTrackUnderThePointer) {
    insertDisc('R', {150, 150, 150});
    createWindow();
    openPage();
    Tid3form& dialog = *window->id3form();
    EXPECT_EQ(dialog.size(), QSize(300, 220));
    EXPECT_EQ(dialog.LabeledEdit4->geometry().topLeft(), QPoint(10, 160));
    EXPECT_EQ(dialog.LabeledEdit4->width(), 279);
    EXPECT_EQ(dialog.SpinEdit1->geometry(), QRect(180, 70, 110, 21));
    EXPECT_EQ(dialog.SpeedButton2->geometry(), QRect(120, 190, 100, 22));
    ASSERT_EQ(dialog.ComboBox1->count(), 147) << "every genre but the first";
    EXPECT_EQ(dialog.ComboBox1->itemText(0), "Classic Rock");
    form->CheckListBox1->setCurrentRow(-1);
    form->i2->trigger();
    EXPECT_FALSE(dialog.isVisible()) << "no track is selected";

    // A right press selects the track under the pointer before the menu acts.
    form->CheckListBox1->setCurrentRow(0);
    const QRect row = form->CheckListBox1->visualItemRect(form->CheckListBox1->item(1));
    QTest::mousePress(form->CheckListBox1->viewport(), Qt::RightButton, {}, row.center());
    QTest::mouseRelease(form->CheckListBox1->viewport(), Qt::RightButton, {}, row.center());
    EXPECT_EQ(form->CheckListBox1->currentRow(), 1);
    Id3Record::setText(context.id3Records[2].Year, QStringLiteral("1987"));
    form->i2->trigger();
    ASSERT_TRUE(dialog.isVisible());
    EXPECT_EQ(context.currentId3Track, 2);
    EXPECT_EQ(dialog.pos(), form->frameGeometry().topLeft() + QPoint(10, 10));
    EXPECT_EQ(dialog.LabeledEdit4->text(), Tid3form::defaultComment());
    EXPECT_EQ(dialog.SpinEdit1->text(), "1987");
    EXPECT_EQ(dialog.ComboBox1->currentText(), "Classic Rock");

    const QString forty = QStringLiteral("Symphony No. 9 in E minor, From the New");
    EXPECT_TRUE(dialog.CutNote->isHidden()) << "nothing the user typed is cut yet";
    // Typed into the field as a user does: the note follows each key.
    dialog.LabeledEdit2->clear();
    QTest::keyClicks(dialog.LabeledEdit2, forty + "W");
    // Longer than the 1.1 area's 30 characters: the note says what happens, the dialog grows
    // by its two lines and the buttons move down with the band they stand on.
    EXPECT_TRUE(dialog.CutNote->isVisible());
    EXPECT_EQ(dialog.CutNote->text(), context.text(276));
    EXPECT_EQ(dialog.size(), QSize(300, 250));
    EXPECT_EQ(dialog.SpeedButton2->geometry(), QRect(120, 220, 100, 22));
    dialog.LabeledEdit1->setText(QStringLiteral("Czech Philharmonic"));
    dialog.SpinEdit1->setValue(99);
    dialog.ComboBox1->setEditText(QStringLiteral("Synthpop"));
    QTest::mouseClick(dialog.SpeedButton1, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    const Id3Record& record = context.id3Records[2];
    EXPECT_EQ(Id3Record::text(record.Header), "TAG");
    EXPECT_EQ(Id3Record::text(record.Title), forty + "W");
    EXPECT_EQ(Id3Record::text(record.Artist), "Czech Philharmonic");
    EXPECT_EQ(Id3Record::text(record.Year), "99");
    EXPECT_EQ(Id3Record::text(record.Comment), Tid3form::defaultComment());
    EXPECT_EQ(record.GenreIndex, 146);

    // Shown again: the fields as stored, the whole title; a typed genre of no entry is the first.
    form->i2->trigger();
    EXPECT_EQ(dialog.LabeledEdit2->text(), forty + "W");
    EXPECT_EQ(dialog.ComboBox1->currentText(), "Synthpop");
    dialog.ComboBox1->setEditText(QStringLiteral("synthpop"));
    dialog.SpeedButton1Click();
    EXPECT_EQ(record.GenreIndex, 0);
    // Cancel keeps what was stored.
    form->i2->trigger();
    dialog.LabeledEdit2->setText(QStringLiteral("Dvořák"));
    EXPECT_TRUE(dialog.CutNote->isVisible()) << "\"ř\" is not in ISO-8859-1";
    dialog.LabeledEdit2->setText(QStringLiteral("changed"));
    EXPECT_TRUE(dialog.CutNote->isHidden());
    EXPECT_EQ(dialog.size(), QSize(300, 220));
    QTest::mouseClick(dialog.SpeedButton2, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(Id3Record::text(record.Title), forty + "W");
}

} // namespace
} // namespace fr
