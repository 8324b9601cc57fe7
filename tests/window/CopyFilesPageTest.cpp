// The copy-files page: the start checks and their messages in order, stop and the journal
// record, the job monitor's report and register offer, dropped files and the option boxes.

#include "window/CopyFilesPage.h"

#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "platform/SingleInstance.h"
#include "rescue/CopyStartCheck.h"
#include "rescue/RecordFile.h"
#include "rescue/RegisterRecord.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/LoopMount.h"
#include "support/MediaImages.h"
#include "support/ReferenceRescue.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TempProgramDir.h"
#include "support/TmpfsMount.h"
#include "support/WindowFixture.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FlatButton.h"
#include "widgets/PictureCheckBox.h"
#include "window/JobControls.h"
#include "window/TForm1.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fr {
namespace {

using test::ByteRange;
using test::FaultyMedium;
using test::numberedLanguageFile;

class CopyFilesPageTest : public test::WindowFixture {
protected:
    void SetUp() override {
        createWindow(numberedLanguageFile(QStringLiteral("en "), 276));
        form->SpeedButton9Click(form->SpeedButton1);
    }

    void file(const QString& name, const QByteArray& content) {
        QFile out(media.filePath(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    QByteArray contentOf(const QString& name) {
        QFile in(media.filePath(name));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }
    void fields(const QString& source, const QString& destination) {
        form->Edit1->setText(source);
        form->Edit2->setText(destination);
    }
    CopyFilesPage& page() { return *window->copyFilesPage(); }

    // The step-by-step rescue of the whole medium with the fill blocks of the settings.
    QByteArray rescued(const FaultyMedium& medium, const QList<ByteRange>& bad) {
        const auto& fill = context.settings.fillMode == 3 ? context.fillBuffers.fillBufferRandom
                                                          : context.fillBuffers.fillBufferZero;
        QFile backing(medium.backingPath());
        if (!backing.open(QIODevice::ReadOnly))
            return {};
        return test::referenceCopy(backing.readAll(), bad, {}, 0,
                                   static_cast<quint32>(medium.size()), fill)
            .destination;
    }
    bool jobEnded() const { return form->SpeedButton13->isEnabled(); }
};

// Where two results first differ, -1 when they are equal (a whole file is too long to print).
qint64 firstDifference(const QByteArray& got, const QByteArray& expected) {
    const qint64 common = std::min(got.size(), expected.size());
    for (qint64 i = 0; i < common; ++i)
        if (got[i] != expected[i])
            return i;
    return got.size() == expected.size() ? -1 : common;
}

// A monitor tick that lands at the moment the pause button goes off, as the job ends.
class TickWhenPauseGoesOff : public QObject {
public:
    TickWhenPauseGoesOff(QWidget* pause, JobControls& controls) : controls_(controls) {
        pause->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange && !static_cast<QWidget*>(watched)->isEnabled())
            controls_.Timer2Timer();
        return false;
    }

private:
    JobControls& controls_;
};

TEST_F(CopyFilesPageTest, SameTextsAndTooLongPathsAreRefusedFirst) {
    fields(QStringLiteral("D:\\a"), QStringLiteral("D:\\a"));
    EXPECT_FALSE(page().SpeedButton13Click());
    EXPECT_EQ(texts(), std::vector<QString>{"en 175"});

    prompts.shown.clear();
    fields(QStringLiteral("D:\\") + QString(300, 'x'), QStringLiteral("D:\\b"));
    EXPECT_FALSE(page().SpeedButton13Click());
    EXPECT_EQ(texts(), std::vector<QString>{"en 230"});
    EXPECT_TRUE(form->SpeedButton13->isEnabled());
}

TEST_F(CopyFilesPageTest, MissingSourceStillAsksAboutTheDestinationButEmptiesNothing) {
    file(QStringLiteral("old.bin"), "keep me");
    fields(QStringLiteral("D:\\gone.bin"), QStringLiteral("D:\\old.bin"));
    prompts.answers = {PromptAnswer::Yes};
    EXPECT_FALSE(page().SpeedButton13Click());
    EXPECT_EQ(texts(), (std::vector<QString>{"en 102", "en 63"}));
    EXPECT_EQ(contentOf(QStringLiteral("old.bin")), QByteArray("keep me"))
        << "nothing starts, so nothing is emptied";
}

TEST_F(CopyFilesPageTest, NoToOverwriteStartsNothing) {
    file(QStringLiteral("a.bin"), "source");
    file(QStringLiteral("b.bin"), "destination");
    fields(QStringLiteral("D:\\a.bin"), QStringLiteral("D:\\b.bin"));
    prompts.answers = {PromptAnswer::No};
    EXPECT_FALSE(page().SpeedButton13Click());
    EXPECT_EQ(texts(), std::vector<QString>{"en 63"});
    EXPECT_EQ(contentOf(QStringLiteral("b.bin")), QByteArray("destination"));
}

TEST_F(CopyFilesPageTest, FreeSpaceCountsTheDestinationAboutToBeEmptied) {
    QString reason;
    if (!test::LoopMount::available(&reason))
        GTEST_SKIP() << reason.toStdString();
    const QString image = dir.file(QStringLiteral("small.img"));
    test::MediaImages::ext4(image, QStringLiteral("small"),
                            QStringLiteral("0badf00d-0000-4000-8000-000000000000"), {}, 8 << 20);
    const QString root = dir.file(QStringLiteral("small"));
    test::LoopMount mount(image, root);
    ASSERT_TRUE(mount.mounted()) << mount.error().toStdString();
    drives.setRoot('E', root);

    QFile source(media.filePath(QStringLiteral("source.bin")));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    ASSERT_TRUE(source.resize(20 << 20));
    source.close();
    fields(QStringLiteral("D:\\source.bin"), QStringLiteral("E:\\copy.bin"));
    EXPECT_FALSE(page().SpeedButton13Click());
    EXPECT_EQ(texts(), std::vector<QString>{"en 104"});
}

TEST_F(CopyFilesPageTest, DamagedDestinationMediumIsWarnedAboutAndNoEndsTheStart) {
    // Drive D: is a folder without a volume serial: serial 0, as a register entry may hold.
    RegisterRecord entry;
    entry.serialText = QStringLiteral("0");
    entry.volumeLabel = QStringLiteral("OLD");
    ASSERT_EQ(RegisterFile(context).append(entry), QString());
    file(QStringLiteral("a.bin"), "source");
    file(QStringLiteral("b.bin"), "destination");
    fields(QStringLiteral("D:\\a.bin"), QStringLiteral("D:\\b.bin"));
    prompts.answers = {PromptAnswer::Yes, PromptAnswer::No};
    EXPECT_FALSE(page().SpeedButton13Click());
    ASSERT_EQ(texts(), (std::vector<QString>{"en 63", "en 131"}));
    EXPECT_EQ(prompts.shown[1].kind, PromptKind::Warning);
    EXPECT_EQ(contentOf(QStringLiteral("b.bin")), QByteArray("destination"));
}

TEST_F(CopyFilesPageTest, StopWithoutAJobSaysSoAndStopDuringAJobJournalsIt) {
    window->jobControls()->SpeedButton15Click();
    EXPECT_EQ(texts(), std::vector<QString>{"en 174"});

    CopyJob& job = context.copyJob;
    job.sourceName = QStringLiteral("D:\\a.bin");
    job.destinationName = QStringLiteral("D:\\b.bin");
    job.totalSize = 1000;
    job.position = 404;
    window->jobControls()->jobStarted();
    EXPECT_FALSE(form->SpeedButton1->isEnabled());
    window->jobControls()->SpeedButton15Click();
    EXPECT_TRUE(context.jobSignals->stopRequested);
    EXPECT_FALSE(form->SpeedButton14->isEnabled());
    EXPECT_FALSE(form->Timer2->isActive());
    const QString journalPath = dir.file(QStringLiteral("databaza.fgv"));
    QFile journal(journalPath);
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    EXPECT_EQ(journal.readAll(), job.toRecord()) << "journalled at once";
    journal.close();
    // Until the worker has ended, the stop is pending: nothing can be started meanwhile, and
    // pressing stop again does nothing.
    EXPECT_FALSE(form->SpeedButton13->isEnabled());
    EXPECT_FALSE(form->SpeedButton1->isEnabled());
    window->jobControls()->SpeedButton15Click();
    EXPECT_EQ(texts(), std::vector<QString>{"en 174"});

    // The worker ends a step further on: the record is brought up to where it really got.
    job.position = 408;
    window->jobControls()->jobEnded();
    EXPECT_TRUE(form->SpeedButton13->isEnabled());
    EXPECT_TRUE(form->SpeedButton1->isEnabled());
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    EXPECT_EQ(journal.readAll(), job.toRecord());
}

TEST_F(CopyFilesPageTest, StopOnTheWholeMediumPageWritesNoJournalEntry) {
    form->SpeedButton9Click(form->SpeedButton3);
    window->jobControls()->jobStarted();
    window->jobControls()->SpeedButton15Click();
    EXPECT_EQ(QFileInfo(dir.file(QStringLiteral("databaza.fgv"))).size(), 0);
}

TEST_F(CopyFilesPageTest, PauseTogglesTheCaptionAndTheSignal) {
    window->jobControls()->jobStarted();
    EXPECT_EQ(form->SpeedButton14->text(), QStringLiteral("en 37"));
    window->jobControls()->SpeedButton14Click();
    EXPECT_EQ(form->SpeedButton14->text(), QStringLiteral("en 47"));
    EXPECT_TRUE(context.jobSignals->paused);
    window->jobControls()->SpeedButton14Click();
    EXPECT_FALSE(context.jobSignals->paused);
}

TEST_F(CopyFilesPageTest, MonitorShowsTheReportOnceThenUnticksTheBox) {
    QLocale::setDefault(QLocale::c());
    CopyJob& job = context.copyJob;
    job.sourceName = QStringLiteral("D:\\a.bin");
    job.destinationName = QStringLiteral("D:\\b.bin");
    job.totalSize = 4096;
    job.startDate = oleDate(QDate(2026, 12, 7));
    job.startTime = oleTime(QTime(9, 30, 15));
    form->CheckBox3->setChecked(true);
    window->jobControls()->jobStarted();
    window->jobControls()->Timer2Timer();
    EXPECT_TRUE(prompts.shown.empty()) << "nothing while the job runs";
    window->jobControls()->jobEnded();
    window->jobControls()->Timer2Timer();
    window->jobControls()->Timer2Timer();
    ASSERT_EQ(prompts.shown.size(), 1u);
    const QStringList lines = prompts.shown[0].text.split('\r');
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0], QStringLiteral("en 156"));
    EXPECT_TRUE(lines[1].isEmpty());
    EXPECT_EQ(lines[2], QStringLiteral("en 157D:\\a.bin"));
    EXPECT_EQ(lines[3], QStringLiteral("en 158D:\\b.bin"));
    EXPECT_EQ(lines[4], QStringLiteral("en 1594096"));
    EXPECT_TRUE(lines[5].startsWith(QStringLiteral("en 160"))) << lines[5];
    EXPECT_TRUE(lines[5].contains(QStringLiteral("9:30:15"))) << lines[5];
    EXPECT_TRUE(lines[6].startsWith(QStringLiteral("en 161")));
    EXPECT_FALSE(form->CheckBox3->isChecked());
    EXPECT_FALSE(form->Timer2->isActive());
}

TEST_F(CopyFilesPageTest, MonitorOffersToRegisterAMediumThatFailedToRead) {

    const QString image = dir.file(QStringLiteral("stick.img"));
    test::MediaImages::fat(image, 16, QStringLiteral("STICK"), 0x12345678);
    drives.setDevice('F', image);
    context.copyJob.sourceName = QStringLiteral("F:\\photo.jpg");

    const auto endWithReadErrors = [this] {
        window->jobControls()->jobStarted();
        window->jobControls()->jobEnded();
        context.errorMarker.setReadFailed();
        window->jobControls()->Timer2Timer();
    };
    prompts.answers = {PromptAnswer::Yes};
    endWithReadErrors();
    EXPECT_EQ(texts(), std::vector<QString>{"en 85"});
    EXPECT_FALSE(context.errorMarker.readFailed());
    const RegisterFile::Contents entries = RegisterFile(context).readAll();
    ASSERT_EQ(entries.records.size(), 1u);
    EXPECT_EQ(entries.records[0].serialText, QStringLiteral("305419896"));
    EXPECT_EQ(entries.records[0].volumeLabel, QStringLiteral("STICK"));

    prompts.shown.clear();
    endWithReadErrors();
    EXPECT_EQ(texts(), std::vector<QString>{"en 101"}) << "already registered";

    prompts.shown.clear();
    context.copyJob.sourceName = QStringLiteral("D:\\file.bin"); // a folder: no serial
    endWithReadErrors();
    EXPECT_EQ(texts(), (std::vector<QString>{"en 181", "en 101"}));
}

// A medium that takes a fifth of a second for every unreadable place, and answers other
// requests meanwhile, as a dying drive behind its driver does.
TEST_F(CopyFilesPageTest, AStoppedCopyEndsBeforeTheNextOneStartsAndChangesNothingOfIt) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QList<ByteRange> bad{{65536, 65536 + 4096}};
    FaultyMedium medium(256 * 1024, bad, {.delayMs = 200, .multithreaded = true});
    drives.setRoot('E', medium.mountPoint());

    fields(QStringLiteral("E:\\disk.img"), QStringLiteral("D:\\first.bin"));
    ASSERT_TRUE(page().SpeedButton13Click());
    // Inside the unreadable area, past its first fill block, where the copy spends its time in
    // slow reads.
    ASSERT_TRUE(QTest::qWaitFor([&] { return medium.failedReads() >= 4; }, 30000));
    window->jobControls()->Timer2Timer();
    EXPECT_TRUE(prompts.shown.empty()) << "the monitor offers nothing while the job runs";

    window->jobControls()->SpeedButton15Click();
    EXPECT_FALSE(jobEnded()) << "the stop waits for the read under way";
    EXPECT_FALSE(form->SpeedButton1->isEnabled()) << "and so do the commands";
    window->jobControls()->Timer2Timer();
    ASSERT_TRUE(QTest::qWaitFor([this] { return jobEnded(); }, 30000));
    EXPECT_TRUE(form->SpeedButton1->isEnabled());
    window->jobControls()->Timer2Timer();
    EXPECT_TRUE(prompts.shown.empty()) << "a stopped job is not offered for registration";

    // The journal holds exactly where the stopped copy got to: every byte before it is final.
    // Good data first read on beyond it, and the destination keeps that for the resume.
    const RecordFile::Contents journal =
        RecordFile(dir.file(QStringLiteral("databaza.fgv")), CopyJob::kRecordBytes).readAll();
    ASSERT_EQ(journal.records.size(), 1u);
    CopyJob stopped;
    ASSERT_TRUE(stopped.fromRecord(journal.records[0]));
    const QByteArray first = contentOf(QStringLiteral("first.bin"));
    ASSERT_GE(first.size(), stopped.position.load());
    const QByteArray expected = rescued(medium, bad);
    EXPECT_EQ(firstDifference(first.left(stopped.position.load()),
                              expected.left(stopped.position.load())),
              -1);

    // A new copy as soon as the window allows it starts from the beginning.
    fields(QStringLiteral("E:\\disk.img"), QStringLiteral("D:\\second.bin"));
    ASSERT_TRUE(page().SpeedButton13Click());
    ASSERT_TRUE(QTest::qWaitFor([this] { return jobEnded(); }, 60000));
    EXPECT_EQ(firstDifference(contentOf(QStringLiteral("second.bin")), expected), -1);
    EXPECT_EQ(context.copyJob.position.load(), static_cast<quint32>(expected.size()));
}

// Closing the window (or ending the session) while a copy runs journals it as the stop button
// does; its map stays with the entry, and neither says more than the destination holds.
TEST_F(CopyFilesPageTest, ClosingTheWindowDuringACopyJournalsItAsAStopWithItsMap) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 size = 12 * 1024 * 1024;
    FaultyMedium medium(size, {}, {.bytesPerSecond = 2 * 1024 * 1024, .multithreaded = true});
    drives.setRoot('E', medium.mountPoint());
    fields(QStringLiteral("E:\\disk.img"), QStringLiteral("D:\\copy.bin"));
    ASSERT_TRUE(page().SpeedButton13Click());
    const QString record = LiveJob::folderOf(dir.path()) + '/' + LiveJob::idOf(context.copyJob) +
                           QStringLiteral(".job");
    EXPECT_TRUE(QFile::exists(record)) << "the job's record is on disk while it runs";
    // Past the first commit of its progress.
    QTest::qWait(2500);
    form->close();
    ASSERT_TRUE(QTest::qWaitFor([this] { return jobEnded(); }, 30000));

    const std::vector<CopyJob> journal =
        test::journalEntries(dir.file(QStringLiteral("databaza.fgv")));
    ASSERT_EQ(journal.size(), 1u);
    const quint32 position = journal[0].position.load();
    EXPECT_GT(position, 0u);
    EXPECT_LT(position, size);
    const QByteArray copied = contentOf(QStringLiteral("copy.bin"));
    EXPECT_EQ(copied.size(), position);
    EXPECT_TRUE(copied == FaultyMedium::pattern(0, position));
    EXPECT_FALSE(QFile::exists(record));
    const MapFileContents map = readMapFile(LiveJob::mapPathOf(dir.path(), journal[0]));
    ASSERT_TRUE(map.error.isEmpty()) << map.error.toStdString();
    EXPECT_EQ(map.map.pending().areas(), (std::vector<ByteRange>{{position, size}}));
}

TEST_F(CopyFilesPageTest, SwitchOffRegistersAMediumThatFailedToReadAndPowersOff) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    FaultyMedium medium(64 * 1024, {{1000, 1001}});
    drives.setRoot('E', medium.mountPoint());
    fields(QStringLiteral("E:\\disk.img"), QStringLiteral("D:\\copy.bin"));
    form->checkbox6->setChecked(true);
    TickWhenPauseGoesOff tick(form->SpeedButton14, *window->jobControls());

    ASSERT_TRUE(page().SpeedButton13Click());
    ASSERT_TRUE(QTest::qWaitFor([this] { return platform.powerOffs > 0; }, 30000));
    EXPECT_TRUE(prompts.shown.empty()) << "the switch-off registers; the monitor asks nothing";
    const RegisterFile::Contents entries = RegisterFile(context).readAll();
    ASSERT_EQ(entries.records.size(), 1u);
    EXPECT_EQ(entries.records[0].note, QStringLiteral("en 224"));
    EXPECT_EQ(platform.powerOffs, 1);
}

TEST_F(CopyFilesPageTest, AKeptSourceAndAMediumThatWentAwayAreSaidAndTheLossIsJournalled) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const auto shown = [this](const QString& text) {
        const std::vector<QString> all = texts();
        return std::find(all.begin(), all.end(), text) != all.end();
    };
    form->CheckBox1->setChecked(true); // delete the source when done
    {
        FaultyMedium damaged(64 * 1024, {{1000, 1001}});
        drives.setRoot('E', damaged.mountPoint());
        fields(QStringLiteral("E:\\disk.img"), QStringLiteral("D:\\copy.bin"));
        ASSERT_TRUE(page().SpeedButton13Click());
        ASSERT_TRUE(QTest::qWaitFor([this] { return jobEnded(); }, 30000));
        EXPECT_TRUE(shown(QStringLiteral("en 261")));
        EXPECT_TRUE(QFile::exists(damaged.path()));
    }

    constexpr qint64 size = 8 * 1024 * 1024 + 5;
    FaultyMedium medium(size, {}, {.bytesPerSecond = 4 * 1024 * 1024, .multithreaded = true});
    drives.setRoot('E', medium.mountPoint());
    fields(QStringLiteral("E:\\disk.img"), QStringLiteral("D:\\gone.bin"));
    prompts.shown.clear();
    ASSERT_TRUE(page().SpeedButton13Click());
    const QString out = media.filePath(QStringLiteral("gone.bin"));
    ASSERT_TRUE(QTest::qWaitFor([&out] { return QFileInfo(out).size() >= 1024 * 1024; }, 30000));
    medium.disconnect();
    ASSERT_TRUE(QTest::qWaitFor([this] { return jobEnded(); }, 30000));
    EXPECT_TRUE(shown(QStringLiteral("en 262")));
    EXPECT_FALSE(shown(QStringLiteral("en 261"))) << "a copy cut short deletes nothing";
    const std::vector<CopyJob> journal =
        test::journalEntries(dir.file(QStringLiteral("databaza.fgv")));
    ASSERT_EQ(journal.size(), 1u);
    const CopyJob& entry = journal[0];
    EXPECT_EQ(entry.destinationName, QStringLiteral("D:\\gone.bin"));
    EXPECT_EQ(qint64(entry.position.load()), QFileInfo(out).size()) << "journalled where it got";
    EXPECT_LT(qint64(entry.position.load()), size);
    EXPECT_FALSE(context.errorMarker.readFailed()) << "nothing was filled after the loss";
}

TEST_F(CopyFilesPageTest, OneDroppedFileBecomesTheSourceSeveralAreRefused) {
    file(QStringLiteral("dropped.bin"), "x");
    page().DropFileTarget1Drop({media.filePath(QStringLiteral("dropped.bin"))});
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("D:\\dropped.bin"));
    page().DropFileTarget1Drop(
        {media.filePath(QStringLiteral("a")), media.filePath(QStringLiteral("b"))});
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("D:\\dropped.bin"));
    EXPECT_EQ(texts(), std::vector<QString>{"en 221\r\ren 222"});
}

TEST_F(CopyFilesPageTest, ReportAndSwitchOffAreNeverBothTicked) {
    QTest::mousePress(form->CheckBox3, Qt::LeftButton);
    QTest::mouseRelease(form->CheckBox3, Qt::LeftButton);
    EXPECT_TRUE(form->CheckBox3->isChecked());
    QTest::mousePress(form->checkbox6, Qt::LeftButton);
    QTest::mouseRelease(form->checkbox6, Qt::LeftButton);
    EXPECT_TRUE(form->checkbox6->isChecked());
    EXPECT_FALSE(form->CheckBox3->isChecked());
    EXPECT_TRUE(context.jobSignals->switchOff);
    QTest::mousePress(form->CheckBox3, Qt::LeftButton);
    EXPECT_TRUE(form->CheckBox3->isChecked());
    EXPECT_FALSE(form->checkbox6->isChecked());
    EXPECT_FALSE(context.jobSignals->switchOff);
}

TEST_F(CopyFilesPageTest, BrowsingFillsTheFieldsInDriveForm) {
    dialogs.answers = {media.filePath(QStringLiteral("in.bin")),
                       media.filePath(QStringLiteral("out.bin"))};
    form->Edit1->setText(QStringLiteral("D:\\folder\\photo.jpg"));
    page().Image3Click();
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("D:\\in.bin"));
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("en 31"));
    page().Image4Click();
    EXPECT_EQ(dialogs.shown[1].title, QStringLiteral("en 32"));
    EXPECT_EQ(dialogs.shown[1].presetName, QStringLiteral("in.bin"));
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\out.bin"));
}

TEST(MegabyteText, TwoSignificantDigitsWithTwoDecimals) {
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(CopyFilesPage::megabytes(1572864), QStringLiteral("1.50"));
    EXPECT_EQ(CopyFilesPage::megabytes(12939428), QStringLiteral("12.00"));
    EXPECT_EQ(CopyFilesPage::megabytes(129394), QStringLiteral("0.12"));
    EXPECT_EQ(CopyFilesPage::megabytes(0), QStringLiteral("0.00"));
    EXPECT_EQ(CopyFilesPage::megabytes(300u << 20), QStringLiteral("3.0E+02"));
}

// --- Two names of one file, things that are not files, typed paths, a full disk ----------

TEST_F(CopyFilesPageTest, OneFileUnderTwoNamesIsRefusedBeforeAnyQuestion) {
    const QByteArray photo = QByteArray("photo").repeated(20001);
    file(QStringLiteral("photo.jpg"), photo);
    ASSERT_EQ(::link(QFile::encodeName(media.filePath(QStringLiteral("photo.jpg"))).constData(),
                     QFile::encodeName(media.filePath(QStringLiteral("hard.jpg"))).constData()),
              0);
    ASSERT_TRUE(QFile::link(media.filePath(QStringLiteral("photo.jpg")),
                            media.filePath(QStringLiteral("soft.jpg"))));
    drives.setRoot('E', media.path()); // a second letter over the same folder

    const QString destinations[] = {
        QStringLiteral("E:\\photo.jpg"),        QStringLiteral("D:\\hard.jpg"),
        QStringLiteral("D:\\soft.jpg"),         QStringLiteral("D:\\.\\photo.jpg"),
        QStringLiteral("D:\\x\\..\\photo.jpg"), media.filePath(QStringLiteral("photo.jpg"))};
    for (const QString& destination : destinations) {
        SCOPED_TRACE(destination.toStdString());
        prompts.shown.clear();
        prompts.answers = {PromptAnswer::Yes, PromptAnswer::Yes}; // were anything asked
        fields(QStringLiteral("D:\\photo.jpg"), destination);
        EXPECT_FALSE(page().SpeedButton13Click());
        EXPECT_EQ(texts(), std::vector<QString>{"en 175"});
        EXPECT_EQ(contentOf(QStringLiteral("photo.jpg")), photo);
        EXPECT_TRUE(form->SpeedButton13->isEnabled());
    }
}

TEST_F(CopyFilesPageTest, FoldersDevicesAndPipesAreNeitherReadNorWritten) {
    file(QStringLiteral("a.bin"), "source");
    ASSERT_TRUE(QDir(media.path()).mkpath(QStringLiteral("folder")));
    // Opening the pipe for reading would hang the page until a writer came.
    ASSERT_EQ(::mkfifo(QFile::encodeName(media.filePath(QStringLiteral("pipe"))).constData(), 0600),
              0);
    const struct {
        QString source;
        QString destination;
        std::vector<QString> shown;
    } cases[] = {
        {QStringLiteral("D:\\folder"), QStringLiteral("D:\\new.bin"), {"en 234"}},
        {QStringLiteral("D:\\pipe"), QStringLiteral("D:\\new.bin"), {"en 234"}},
        {QStringLiteral("C:\\dev\\zero"), QStringLiteral("D:\\new.bin"), {"en 234"}},
        {QStringLiteral("D:\\a.bin"), QStringLiteral("D:\\folder"), {"en 235"}},
        {QStringLiteral("D:\\a.bin"), QStringLiteral("D:\\pipe"), {"en 235"}},
        {QStringLiteral("D:\\a.bin"), QStringLiteral("C:\\dev\\null"), {"en 235"}},
        {QStringLiteral("D:\\gone.bin"), QStringLiteral("D:\\folder"), {"en 102", "en 235"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.source + QStringLiteral(" -> ") + c.destination).toStdString());
        prompts.shown.clear(); // a question would be answered No: a Yes would open the pipe
        fields(c.source, c.destination);
        EXPECT_FALSE(page().SpeedButton13Click());
        EXPECT_EQ(texts(), c.shown);
        for (const auto& shown : prompts.shown)
            EXPECT_EQ(shown.kind, PromptKind::Error);
    }
    EXPECT_FALSE(QFile::exists(media.filePath(QStringLiteral("new.bin"))));
    EXPECT_TRUE(QFileInfo(media.filePath(QStringLiteral("pipe"))).exists());
}

TEST_F(CopyFilesPageTest, TypedNativePathsAreCopiedInDriveForm) {
    const QByteArray content = QByteArray("typed").repeated(3001);
    file(QStringLiteral("a.bin"), content);
    fields(media.filePath(QStringLiteral("a.bin")), media.path() + QStringLiteral("/x/../b.bin"));
    ASSERT_TRUE(page().SpeedButton13Click()) << (texts().empty() ? "" : texts()[0].toStdString());
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("D:\\a.bin"));
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\b.bin"));
    EXPECT_EQ(context.copyJob.sourceName, QStringLiteral("D:\\a.bin"))
        << "journalled in drive form";
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->SpeedButton13->isEnabled(); }, 30000));
    EXPECT_EQ(contentOf(QStringLiteral("b.bin")), content);
    EXPECT_TRUE(prompts.shown.empty());
}

// A drive E: on a small tmpfs of its own, mounted for the test and taken off after it.
class CopyFilesPageFullDiskTest : public CopyFilesPageTest {
protected:
    std::unique_ptr<test::TmpfsMount> disk;
    QString root = dir.file(QStringLiteral("small"));

    void SetUp() override {
        CopyFilesPageTest::SetUp();
        QString why;
        if (!test::TmpfsMount::available(&why))
            GTEST_SKIP() << why.toStdString();
        disk = std::make_unique<test::TmpfsMount>(root, 1 << 20);
        if (!disk->mounted())
            GTEST_SKIP() << disk->error().toStdString();
        drives.setRoot('E', root);
    }
    void sparse(const QString& name, qint64 size) {
        QFile out(media.filePath(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_TRUE(out.resize(size));
    }
};

TEST_F(CopyFilesPageFullDiskTest, FreeSpaceCreditsTheDestinationAboutToBeEmptied) {
    // 700 KiB to copy; the 1 MiB disk has less than that free, but not once the old 600 KiB
    // destination is emptied.
    const QByteArray content = QByteArray("rescued!").repeated(700 * 128);
    file(QStringLiteral("source.bin"), content);
    QFile old(root + QStringLiteral("/copy.bin"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    ASSERT_EQ(old.write(QByteArray(600 << 10, 'o')), 600 << 10);
    old.close();
    fields(QStringLiteral("D:\\source.bin"), QStringLiteral("E:\\copy.bin"));

    prompts.answers = {PromptAnswer::Yes};
    ASSERT_TRUE(page().SpeedButton13Click());
    EXPECT_EQ(texts(), std::vector<QString>{"en 63"});
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->SpeedButton13->isEnabled(); }, 30000));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), content);
}

TEST_F(CopyFilesPageFullDiskTest, AnySizePassesTheSizeCheckUnlessTheJournalCannotHoldIt) {
    // Both fail later for want of space on E:, which shows how far the checks got. A large
    // job's record keeps its 64-bit sizes beside one of its names: two names that fill their
    // fields leave no room, and the copy could not be resumed.
    constexpr qint64 kSixGiB = qint64(6) << 30;
    const QString longName = QString(236, 'n');
    sparse(QStringLiteral("large.img"), kSixGiB);
    sparse(longName, kSixGiB);
    fields(QStringLiteral("D:\\large.img"), QStringLiteral("E:\\copy.img"));
    EXPECT_FALSE(page().SpeedButton13Click());
    fields(QStringLiteral("D:\\") + longName, QStringLiteral("E:\\") + longName);
    EXPECT_FALSE(page().SpeedButton13Click());
    EXPECT_EQ(texts(), (std::vector<QString>{"en 104", "en 225"}));
}

TEST_F(CopyFilesPageFullDiskTest, StopOnAFullDiskReportsTheJournalAndKeepsItWhole) {
    const QString journal = root + QStringLiteral("/databaza.fgv");
    dir.remove(QStringLiteral("databaza.fgv"));
    ASSERT_TRUE(QFile::link(journal, dir.file(QStringLiteral("databaza.fgv"))));
    CopyJob& job = context.copyJob;
    job.sourceName = QStringLiteral("D:\\a.bin");
    job.destinationName = QStringLiteral("E:\\b.bin");
    job.totalSize = 1000;
    job.position = 404;
    // A job, its stop, and its worker's end (the commands come back only then).
    const auto stop = [this] {
        window->jobControls()->jobStarted();
        window->jobControls()->SpeedButton15Click();
        window->jobControls()->jobEnded();
    };
    // Seven entries end inside a page: the eighth is written in part before the disk is full.
    for (int i = 0; i < 7; ++i)
        stop();
    ASSERT_EQ(QFileInfo(journal).size(), 7 * CopyJob::kRecordBytes);
    ASSERT_TRUE(disk->fill());

    prompts.shown.clear();
    stop();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown[0].text.contains(dir.file(QStringLiteral("databaza.fgv"))))
        << prompts.shown[0].text;
    EXPECT_TRUE(prompts.shown[0].text.contains(QStringLiteral("No space left on device")))
        << prompts.shown[0].text;
    EXPECT_EQ(QFileInfo(journal).size(), 7 * CopyJob::kRecordBytes) << "no partial entry";
    EXPECT_TRUE(form->SpeedButton1->isEnabled()) << "the stop itself went through";

    // With room again, the next stop is journalled.
    ASSERT_TRUE(QFile::remove(root + QStringLiteral("/filler")));
    prompts.shown.clear();
    stop();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(QFileInfo(journal).size(), 8 * CopyJob::kRecordBytes);
}

} // namespace
} // namespace fr
