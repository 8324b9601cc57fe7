// The disk-image page: the refusals before a job, a floppy drive imaged whole, an image
// written back after the question, a mounted target that cannot be freed, and a stopped job
// journalled with its drive and resumed from the journal to the same image.

#include "window/DiskImagePage.h"

#include "core/CopyJob.h"
#include "rescue/RecordFile.h"
#include "rescue/RegisterRecord.h"
#include "support/FaultyMedium.h"
#include "support/LoopDevice.h"
#include "support/LoopMount.h"
#include "support/MediaImages.h"
#include "support/TmpfsMount.h"
#include "support/WindowFixture.h"
#include "widgets/AreaStrip.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/PictureCheckBox.h"
#include "widgets/PieGauge.h"
#include "window/AreaMapWindow.h"
#include "window/CopyFilesPage.h"
#include "window/JobControls.h"
#include "window/JournalPage.h"
#include "window/TForm1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace fr {
namespace {

using test::ByteRange;
using test::FaultyMedium;

const QString kUuid = QStringLiteral("0123abcd-4567-89ab-cdef-0123456789ab");

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

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class DiskImagePageTest : public test::WindowFixture {
protected:
    void SetUp() override { createWindow(languageFile()); }
    // Opens the page with drive `letter` chosen, in the direction given.
    void open(QChar letter, bool toImage = true) {
        form->SpeedButton9Click(form->SpeedButton8);
        form->DriveComboBox1->setDrive(letter);
        ASSERT_EQ(form->DriveComboBox1->drive(), letter);
        if (!toImage)
            page().SpeedButton33Click();
    }
    DiskImagePage& page() { return *window->diskImagePage(); }
    bool jobEnded() const { return form->SpeedButton13->isEnabled(); }
    bool runToEnd() {
        return QTest::qWaitFor([this] { return jobEnded(); }, 60000);
    }
    QString own(const char* name) const { return devices.filePath(QLatin1String(name)); }

    QTemporaryDir devices; // image files standing for devices, on no drive
};

TEST_F(DiskImagePageTest, TheDirectionsSwapCaptionsAndTheBoldButton) {
    open('D');
    EXPECT_TRUE(page().mediumToImage());
    page().SpeedButton33Click();
    EXPECT_FALSE(page().mediumToImage());
    EXPECT_TRUE(form->SpeedButton33->font().bold());
    EXPECT_EQ(form->Label6->text(), QStringLiteral("en 145"));
    EXPECT_EQ(form->Label2->text(), QStringLiteral("en 146"));
    page().SpeedButton32Click();
    EXPECT_TRUE(form->SpeedButton32->font().bold());
    EXPECT_FALSE(form->SpeedButton33->font().bold());
    EXPECT_EQ(form->Label6->text(), QStringLiteral("en 144"));
    EXPECT_EQ(form->Label2->text(), QStringLiteral("en 54"));
}

TEST_F(DiskImagePageTest, AnAudioCdAndAnImageOnTheMediumItselfAreRefused) {
    writeFile(own("album.bin"), QByteArray(300 * 2352, '\x11'));
    writeFile(own("album.cue"), "FILE \"album.bin\" BINARY\r\n"
                                "  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n");
    drives.setDevice('R', own("album.cue"));
    open('R');
    form->Edit2->setText(QStringLiteral("D:\\album.iso"));
    EXPECT_FALSE(page().Imagg());
    EXPECT_EQ(texts(), std::vector<QString>{"en 223"});

    test::MediaImages::floppy(own("floppy.img"), QStringLiteral("DISK1"), 0x0badcafe, {});
    drives.setDevice('A', own("floppy.img"));
    for (const bool toImage : {true, false}) {
        open('A', toImage);
        for (const char* path : {"a:\\x.ima", "A:\\x.ima"}) {
            prompts.shown.clear();
            form->Edit2->setText(QLatin1String(path));
            EXPECT_FALSE(page().Imagg());
            EXPECT_EQ(texts(), std::vector<QString>{toImage ? "en 135" : "en 148"}) << path;
        }
    }
    prompts.shown.clear();
    form->Edit2->clear();
    open('A');
    EXPECT_FALSE(page().Imagg());
    EXPECT_EQ(texts(), std::vector<QString>{"en 133"});
    EXPECT_TRUE(jobEnded());
    EXPECT_FALSE(QFile::exists(media.filePath(QStringLiteral("album.iso"))));
}

TEST_F(DiskImagePageTest, BrowsingTakesTheExtensionOfTheChosenImageKind) {
    open('D');
    dialogs.filterAnswer = 2; // CD images
    dialogs.answers = {media.filePath(QStringLiteral("cd")),
                       media.filePath(QStringLiteral("x.iso"))};
    window->copyFilesPage()->Image4Click();
    EXPECT_EQ(dialogs.shown.at(0).filter, QStringLiteral("en 55en 155"));
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\cd.iso"));
    dialogs.filterAnswer = 1; // floppy images: a name with an image extension keeps it
    window->copyFilesPage()->Image4Click();
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\x.iso"));
    dialogs.answers = {media.filePath(QStringLiteral("y.IMA"))};
    window->copyFilesPage()->Image4Click();
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\y.IMA.ima"));
}

TEST_F(DiskImagePageTest, AnImageThatDoesNotFitOrCannotBeMadeIsRefused) {
    QString why;
    if (!test::LoopDevice::available(&why))
        GTEST_SKIP() << why.toStdString();
    test::MediaImages::floppy(own("floppy.img"), QStringLiteral("DISK1"), 0x0badcafe, {});
    drives.setDevice('A', own("floppy.img"));
    QDir(devices.path()).mkpath(QStringLiteral("small"));
    test::TmpfsMount small(own("small"), 64 * 1024);
    if (!small.mounted())
        GTEST_SKIP() << small.error().toStdString();
    drives.setRoot('F', own("small"));
    open('A');
    form->Edit2->setText(QStringLiteral("F:\\floppy.ima"));
    EXPECT_FALSE(page().Imagg());
    form->Edit2->setText(QStringLiteral("D:\\missing\\floppy.ima"));
    EXPECT_FALSE(page().Imagg());
    EXPECT_EQ(texts(), (std::vector<QString>{"en 147", "en 134"}));
    EXPECT_TRUE(jobEnded());
}

TEST_F(DiskImagePageTest, AnImageOnTheMediumUnderAnotherLetterIsRefused) {
    QString why;
    if (!test::LoopMount::available(&why))
        GTEST_SKIP() << why.toStdString();
    // ext4: the one file system every kernel here mounts.
    test::MediaImages::ext4(own("floppy.img"), QStringLiteral("DISK1"), kUuid,
                            {{QStringLiteral("old.ima"), QByteArray(512, 'o')}});
    QDir(devices.path()).mkpath(QStringLiteral("mnt"));
    test::LoopMount mounted(own("floppy.img"), own("mnt"));
    ASSERT_TRUE(mounted.mounted()) << mounted.error().toStdString();
    drives.setDevice('A', own("floppy.img"));
    drives.setRoot('E', own("mnt"));
    // Imaging the medium into a file on it, and writing a file of it back over it.
    for (const bool toImage : {true, false}) {
        open('A', toImage);
        prompts.shown.clear();
        form->Edit2->setText(QStringLiteral("E:\\old.ima"));
        EXPECT_FALSE(page().Imagg());
        EXPECT_EQ(texts(), std::vector<QString>{"en 135"});
    }
}

TEST_F(DiskImagePageTest, AFloppyDriveIsImagedWholeThroughThePage) {
    QString why;
    if (!test::LoopDevice::available(&why))
        GTEST_SKIP() << why.toStdString();
    test::MediaImages::floppy(own("floppy.img"), QStringLiteral("DISK1"), 0x0badcafe,
                              {{QStringLiteral("notes.txt"), QByteArray(70000, 'n')}});
    test::LoopDevice device(own("floppy.img"), {.readOnly = true});
    drives.setDevice('A', device.path());
    writeFile(media.filePath(QStringLiteral("floppy.ima")), QByteArray(3000000, 'x'));
    open('A');
    form->Edit2->setText(QStringLiteral("D:\\floppy.ima"));
    prompts.answers = {PromptAnswer::Yes}; // replace the older image
    ASSERT_TRUE(page().Imagg());
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(texts(), std::vector<QString>{"en 179"});
    const QByteArray image = contentOf(media.filePath(QStringLiteral("floppy.ima")));
    EXPECT_EQ(image.size(), 1474560);
    EXPECT_TRUE(image == contentOf(own("floppy.img")));
    EXPECT_EQ(context.copyJob.sourceName, QStringLiteral("AA"));
    EXPECT_EQ(context.copyJob.totalSize, 2880u);
}

TEST_F(DiskImagePageTest, SwitchOffRegistersTheFloppyThatFailedToReadByItsLetter) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    test::MediaImages::floppy(own("floppy.img"), QStringLiteral("DISK1"), 0x0badcafe, {});
    FaultyMedium medium(own("floppy.img"), {{2000 * 512, 2000 * 512 + 1}});
    drives.setDevice('A', medium.path());
    open('A');
    form->Edit2->setText(QStringLiteral("D:\\floppy.ima"));
    form->checkbox6->setChecked(true);
    ASSERT_TRUE(page().Imagg());
    ASSERT_TRUE(QTest::qWaitFor([this] { return platform.powerOffs > 0; }, 30000));
    EXPECT_EQ(context.copyJob.sourceName, QStringLiteral("A"));
    const RegisterFile::Contents entries = RegisterFile(context).readAll();
    ASSERT_EQ(entries.records.size(), 1u);
    EXPECT_EQ(entries.records[0].serialText, QString::number(0x0badcafeu));
    QByteArray expected = contentOf(own("floppy.img"));
    expected.replace(1984 * 512, 32 * 512, QByteArray(32 * 512, '\0'));
    EXPECT_TRUE(contentOf(media.filePath(QStringLiteral("floppy.ima"))) == expected);
}

TEST_F(DiskImagePageTest, ImageToMediumAsksFirstAndWritesWholeSectors) {
    const QByteArray image = FaultyMedium::pattern(0, 70 * 512 + 100);
    writeFile(media.filePath(QStringLiteral("in.ima")), image);
    writeFile(own("target.img"), QByteArray(200 * 512, '\xee'));
    drives.setDevice('B', own("target.img"));
    open('B', false);
    form->Edit2->setText(QStringLiteral("D:\\in.ima"));
    prompts.answers = {PromptAnswer::No};
    EXPECT_FALSE(page().Imagg());
    EXPECT_EQ(texts(), std::vector<QString>{"en 227"});
    EXPECT_TRUE(contentOf(own("target.img")) == QByteArray(200 * 512, '\xee'));

    prompts.answers = {PromptAnswer::Yes};
    ASSERT_TRUE(page().Imagg());
    ASSERT_TRUE(runToEnd());
    const QByteArray written = contentOf(own("target.img"));
    EXPECT_TRUE(written.left(70 * 512) == image.left(70 * 512));
    EXPECT_TRUE(written.mid(70 * 512) == QByteArray(130 * 512, '\xee'));
    EXPECT_EQ(context.copyJob.destinationName, QStringLiteral("BB"));
    EXPECT_EQ(context.copyJob.totalSize, 70u);
    EXPECT_EQ(texts(), (std::vector<QString>{"en 227", "en 227"}));
}

TEST_F(DiskImagePageTest, AnImageOnAReadOnlyMountIsWrittenToTheMedium) {
    // A read-only folder, as a disc's or a read-only mount's, holding a read-only image.
    const QString folder = media.filePath(QStringLiteral("disc"));
    ASSERT_TRUE(QDir(media.path()).mkdir(QStringLiteral("disc")));
    const QByteArray image = FaultyMedium::pattern(0, 40 * 512);
    writeFile(folder + QStringLiteral("/in.iso"), image);
    ASSERT_TRUE(QFile::setPermissions(folder + QStringLiteral("/in.iso"), QFile::ReadOwner));
    const QByteArray native = QFile::encodeName(folder);
    if (::mount(native.constData(), native.constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "a bind mount needs root";
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{native};
    ASSERT_EQ(
        ::mount(nullptr, native.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr),
        0);
    writeFile(own("target.img"), QByteArray(100 * 512, '\xee'));
    drives.setDevice('B', own("target.img"));
    open('B', false);
    form->Edit2->setText(QStringLiteral("D:\\disc\\in.iso"));
    prompts.answers = {PromptAnswer::Yes};
    ASSERT_TRUE(page().Imagg());
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(texts(), std::vector<QString>{"en 227"});
    EXPECT_TRUE(contentOf(own("target.img")).left(40 * 512) == image);
    EXPECT_FALSE(
        QFileInfo(folder + QStringLiteral("/in.iso")).permissions().testFlag(QFile::WriteOwner))
        << "the image is left as it was";
}

TEST_F(DiskImagePageTest, AMountedTargetThatCannotBeUnmountedIsNotWritten) {
    QString why;
    if (!test::LoopMount::available(&why))
        GTEST_SKIP() << why.toStdString();
    test::MediaImages::ext4(own("floppy.img"), QStringLiteral("DISK1"), kUuid,
                            {{QStringLiteral("busy.txt"), QByteArray("in use")}});
    QDir(devices.path()).mkpath(QStringLiteral("mnt"));
    test::LoopMount mounted(own("floppy.img"), own("mnt"));
    ASSERT_TRUE(mounted.mounted()) << mounted.error().toStdString();
    // A file held open keeps the file system busy.
    QFile busy(own("mnt/busy.txt"));
    ASSERT_TRUE(busy.open(QIODevice::ReadOnly));
    writeFile(media.filePath(QStringLiteral("in.ima")), QByteArray(1 << 20, 'i'));
    drives.setDevice('A', own("floppy.img"));
    open('A', false);
    form->Edit2->setText(QStringLiteral("D:\\in.ima"));
    prompts.answers = {PromptAnswer::Yes};
    EXPECT_FALSE(page().Imagg());
    ASSERT_EQ(texts().size(), 2u);
    EXPECT_TRUE(texts()[1].startsWith(QStringLiteral("en 233"))) << texts()[1].toStdString();
    EXPECT_TRUE(jobEnded());
    busy.close();
    // The file system writes its own bookkeeping; not one sector of the image went there.
    EXPECT_FALSE(contentOf(own("floppy.img")).contains(QByteArray(512, 'i')));
}

TEST_F(DiskImagePageTest, AStoppedJobIsJournalledWithItsDriveAndResumesToTheSameImage) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const qint64 size = 16 << 20;
    const QList<ByteRange> bad = {{6 << 20, (6 << 20) + 512}};
    // The failing place is slow, so that the stop comes while the job is under way.
    FaultyMedium medium(size, bad, {.delayMs = 400, .multithreaded = true});
    drives.setDevice('G', medium.path());
    open('G');
    form->Edit2->setText(QStringLiteral("D:\\g.ima"));
    ASSERT_TRUE(page().Imagg());
    ASSERT_TRUE(QTest::qWaitFor([this] { return context.copyJob.position.load() > 0; }, 20000));
    // The running job's map, at a click on the gauge.
    QTest::mouseClick(form->Gauge1, Qt::LeftButton);
    const auto* running = form->findChild<AreaMapWindow*>();
    ASSERT_NE(running, nullptr);
    EXPECT_TRUE(running->isVisible());
    EXPECT_EQ(running->strip->map().size, size);
    window->jobControls()->SpeedButton15Click();
    ASSERT_TRUE(runToEnd());
    EXPECT_FALSE(running->strip->map().finished()) << "the stopped job's map";

    const RecordFile::Contents journal =
        RecordFile(dir.file(QStringLiteral("databaza.fgv")), CopyJob::kRecordBytes).readAll();
    ASSERT_EQ(journal.records.size(), 1u);
    CopyJob entry;
    entry.fromRecord(journal.records[0]);
    EXPECT_EQ(entry.sourceName, QStringLiteral("GG"));
    EXPECT_EQ(entry.destinationName, QStringLiteral("D:\\g.ima"));
    EXPECT_EQ(entry.totalSize, size / 512);
    ASSERT_GT(entry.position.load(), 0u);
    ASSERT_LT(entry.position.load(), size / 512);

    prompts.shown.clear();
    prompts.answers = {PromptAnswer::Yes}; // the image exists: go on inside it
    form->SpeedButton9Click(form->SpeedButton4);
    window->journalPage()->SpeedButton20Click();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(texts().front(), QStringLiteral("en 179"));
    QByteArray expected = FaultyMedium::pattern(0, size);
    expected.replace(6 << 20, 512, QByteArray(512, '\0'));
    EXPECT_TRUE(contentOf(media.filePath(QStringLiteral("g.ima"))) == expected);
    // The map shows the whole job's map: every sector settled, the unreadable one alone.
    const auto* map = form->findChild<AreaMapWindow*>();
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->strip->map().finished());
    EXPECT_EQ(map->strip->map().unreadable.areas(),
              (std::vector<ByteRange>{{6 << 20, (6 << 20) + 512}}));
    EXPECT_EQ(RecordFile(dir.file(QStringLiteral("databaza.fgv")), CopyJob::kRecordBytes)
                  .readAll()
                  .records.size(),
              0u);
}

} // namespace
} // namespace fr
