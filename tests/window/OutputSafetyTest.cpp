// The window's outputs go only where nothing is lost: a saved map never over the job's files,
// the program folder or a device; a copy never into a destination another job is writing.

#include "disk/ImageEx.h"
#include "platform/DestinationLock.h"
#include "rescue/KopirovanieEex.h"
#include "support/FileBytes.h"
#include "support/MediaImages.h"
#include "support/WindowFixture.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/SpinEdit.h"
#include "window/AreaMapWindow.h"
#include "window/CopyFilesPage.h"
#include "window/SectorViewerPage.h"

#include <QFile>
#include <QLineEdit>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fr {
namespace {

using test::contentOf;
class OutputSafetyTest : public test::WindowFixture {
protected:
    void SetUp() override {
        createWindow();
        write(source, QByteArray("source bytes ").repeated(1000));
    }
    QString file(const char* name) const { return media.filePath(QLatin1String(name)); }
    void write(const QString& path, const QByteArray& bytes) const {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    }
    // The file held as a running job holds its destination; released when closed.
    int holdLock(const QString& path) const {
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        return fd;
    }
    const QString source = file("source.bin");
};

TEST_F(OutputSafetyTest, TheMapWindowSavesOnlyToANewFileOrAMapAndAsksBeforeAnythingElse) {
    const QString destination = file("copy.bin");
    write(destination, "the rescued copy");
    write(file("notes.txt"), "not a map");
    ASSERT_TRUE(QFile::link(source, file("link-to-source.bin")));
    const QString device = file("device.bin");
    ASSERT_EQ(::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    const QString journal = dir.file(QStringLiteral("databaza.fgv"));
    const QByteArray journalBefore = contentOf(journal);
    const QByteArray sourceBefore = contentOf(source);

    const AreaMapWindow::Job job{RescueMap::ofRun(13000, {0, 13000}, {}), "D:\\source.bin",
                                 "copy D:\\source.bin to D:\\copy.bin",
                                 QDateTime::currentDateTime(), QStringList{source, destination}};
    AreaMapWindow::show(*form, context, job);
    auto* shown = form->findChild<AreaMapWindow*>();
    ASSERT_NE(shown, nullptr);

    struct Case {
        QString path;
        int text;
    };
    for (const Case& c : {Case{source, 271}, Case{file("link-to-source.bin"), 271},
                          Case{destination, 271}, Case{device, 235}, Case{journal, 272}}) {
        prompts.shown.clear();
        dialogs.answers = {c.path};
        shown->saveButtonClick();
        ASSERT_EQ(texts().size(), 1u) << c.path.toStdString();
        EXPECT_TRUE(texts()[0].startsWith(context.text(c.text))) << texts()[0].toStdString();
    }
    EXPECT_EQ(contentOf(source), sourceBefore);
    EXPECT_EQ(contentOf(destination), "the rescued copy");
    EXPECT_EQ(contentOf(journal), journalBefore);
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(device).constData(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));

    // Another file: asked, in drive form; No keeps it, Yes replaces it with the map.
    prompts.shown.clear();
    dialogs.answers = {file("notes.txt")};
    shown->saveButtonClick();
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0], QStringLiteral("D:\\notes.txt: ") + context.text(273));
    EXPECT_EQ(contentOf(file("notes.txt")), "not a map");
    prompts.answers = {PromptAnswer::Yes};
    dialogs.answers = {file("notes.txt")};
    shown->saveButtonClick();
    EXPECT_EQ(readMapFile(file("notes.txt")).map.size, 13000);
    // A map is brought up to date without a question.
    prompts.shown.clear();
    dialogs.answers = {file("notes.txt")};
    shown->saveButtonClick();
    EXPECT_EQ(texts(), std::vector<QString>{});
}

TEST_F(OutputSafetyTest, ACopyIntoADestinationAnotherJobIsWritingIsRefusedAndWritesNothing) {
    const QString destination = file("busy.bin");
    write(destination, "another job's bytes");
    const int held = holdLock(destination);

    // The page: refused before the question about the existing file, named in drive form.
    prompts.answers = {PromptAnswer::Yes};
    form->SpeedButton9Click(form->SpeedButton1);
    form->Edit1->setText(QStringLiteral("D:\\source.bin"));
    form->Edit2->setText(QStringLiteral("D:\\busy.bin"));
    EXPECT_FALSE(window->copyFilesPage()->SpeedButton13Click());
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0], context.text(270) + QStringLiteral("\rD:\\busy.bin"));
    EXPECT_EQ(contentOf(destination), "another job's bytes");

    // The engine itself, should another job take the file after the checks: a failure.
    CopyJob job;
    job.sourceName = QStringLiteral("D:\\source.bin");
    job.destinationName = QStringLiteral("D:\\busy.bin");
    job.totalSize = static_cast<std::uint32_t>(QFile(source).size());
    KopirovanieEex engine({job, std::make_shared<JobSignals>(), context.fillBuffers, 0, platform,
                           source, destination, nullptr},
                          {});
    const CopyOutcome outcome = engine.run();
    EXPECT_EQ(outcome.failure, destinationInUseReason());
    EXPECT_EQ(outcome.position, 0u);
    EXPECT_EQ(contentOf(destination), "another job's bytes");

    // An image job whose image file another job is writing.
    const QString medium = file("medium.img");
    write(medium, QByteArray(64 * 512, 'm'));
    ImageEx imaging(
        {medium, destination, 512, 0, 64, std::make_shared<JobSignals>(), platform, nullptr}, {});
    EXPECT_EQ(imaging.run().failure, destination + QStringLiteral(": ") + destinationInUseReason());
    EXPECT_EQ(contentOf(destination), "another job's bytes");

    ::close(held);
    EXPECT_EQ(engine.run().failure, QString());
    EXPECT_EQ(contentOf(destination), contentOf(source));
}

TEST_F(OutputSafetyTest, ASavedSectorNeverReplacesTheProgramsFilesOrADeviceAndAsksFirst) {
    QTemporaryDir images;
    const QString floppy = images.filePath(QStringLiteral("floppy.img"));
    test::MediaImages::floppy(floppy, "SECTORS", 0x12345678, {{"a.txt", "a"}});
    drives.setDevice('F', floppy);
    form->SpeedButton9Click(form->SpeedButton7);
    form->DriveComboBox1->setDrive('F');
    form->SpinEdit1->setValue(0);
    window->sectorViewerPage()->SpinEdit1Change();
    const QByteArray sector = contentOf(floppy).left(512);

    const QString settings = dir.file(QStringLiteral("settings.ini"));
    const QByteArray settingsBefore = contentOf(settings);
    const QString device = file("device.bin");
    ASSERT_EQ(::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    write(file("kept.bin"), "kept");
    for (const QString& path : {settings, device, file("kept.bin")}) {
        prompts.shown.clear();
        dialogs.answers = {path};
        window->sectorViewerPage()->SpeedButton29Click();
        ASSERT_EQ(texts().size(), 1u) << path.toStdString();
    }
    EXPECT_EQ(contentOf(settings), settingsBefore);
    EXPECT_EQ(contentOf(file("kept.bin")), "kept");
    EXPECT_EQ(texts()[0], QStringLiteral("D:\\kept.bin: ") + context.text(274));

    prompts.answers = {PromptAnswer::Yes};
    dialogs.answers = {file("kept.bin")};
    window->sectorViewerPage()->SpeedButton29Click();
    EXPECT_EQ(contentOf(file("kept.bin")), sector);
}

} // namespace
} // namespace fr
