// A person's rescue through the real window: the built program under a virtual display,
// driven with the mouse and keyboard, copying from a medium that really fails, and a whole
// medium copied into a folder.

#include "app/ProgramWindow.h"
#include "core/CopyJob.h"
#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "core/RescueMap.h"
#include "disk/MediaIdentity.h"
#include "disk/RawDiskAccess.h"
#include "platform/SingleInstance.h"
#include "rescue/RegisterRecord.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/LoopDevice.h"
#include "support/LoopMount.h"
#include "support/MediaImages.h"
#include "support/ReferenceRescue.h"
#include "support/ScriptedPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TempProgramDir.h"
#include "support/TestDisc.h"
#include "widgets/CheckListBox.h"
#include "widgets/FlatButton.h"
#include "window/TForm1.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <random>
#include <unistd.h>

namespace fr {
namespace {

using test::ByteRange;
using test::FaultyMedium;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Waits for a condition, keeping the test's own events going.
template <typename Condition> bool waitFor(Condition condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (condition())
            return true;
        QThread::msleep(50);
    }
    return condition();
}

class RescueThroughWindowTest : public testing::Test {
protected:
    test::TempProgramDir program;
    QTemporaryDir destinations;
    QTemporaryDir runtime;
    QProcess display;
    QProcess window;
    QString displayName;
    QPoint origin; // the window's client area on the screen

    void SetUp() override {
        QString reason;
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "needs Xvfb and xdotool";
        if (!FaultyMedium::available(&reason))
            GTEST_SKIP() << reason.toStdString();
        // A display number of our own: the first with no lock file, or whose lock was left by
        // a server that is gone (Xvfb takes such a lock over itself).
        for (int number = 60 + getpid() % 30; number < 400; ++number) {
            QFile lock(QStringLiteral("/tmp/.X%1-lock").arg(number));
            if (lock.exists() && lock.open(QIODevice::ReadOnly)) {
                const pid_t owner = static_cast<pid_t>(lock.readAll().trimmed().toLongLong());
                if (owner <= 0 || ::kill(owner, 0) == 0 || errno != ESRCH)
                    continue;
            } else if (lock.exists()) {
                continue;
            }
            displayName = QStringLiteral(":%1").arg(number);
            break;
        }
        // -noreset: an X server resets when its last client leaves, and refuses or drops the
        // connections that arrive meanwhile. Every xdotool call here is such a client; the
        // program, connecting while one leaves, would then start without a window.
        display.start(QStringLiteral("Xvfb"),
                      {displayName, QStringLiteral("-screen"), QStringLiteral("0"),
                       QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                       QStringLiteral("tcp"), QStringLiteral("-noreset")});
        ASSERT_TRUE(display.waitForStarted(5000));
        ASSERT_TRUE(waitFor(
            [this] { return xdotool({QStringLiteral("getmouselocation")}).contains("x:"); }, 10000))
            << "the virtual display did not come up";
    }

    void TearDown() override {
        for (QProcess* process : {&window, &display}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    QByteArray xdotool(const QStringList& arguments) {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), displayName);
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral("xdotool"), arguments);
        tool.waitForFinished(10000);
        return tool.readAllStandardOutput();
    }

    // Every window of the display, named or not, for a failure message (when xwininfo is here).
    QByteArray windowTree() {
        if (QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
            return "(no xwininfo)";
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), displayName);
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
        tool.waitForFinished(10000);
        return tool.readAllStandardOutput() + tool.readAllStandardError();
    }

    // Where every thread of a process is, for a failure message (when gdb is here).
    static QByteArray stacksOf(qint64 pid) {
        if (pid <= 0 || QStandardPaths::findExecutable(QStringLiteral("gdb")).isEmpty())
            return "(no gdb)";
        QProcess tool;
        tool.start(QStringLiteral("gdb"),
                   {QStringLiteral("-p"), QString::number(pid), QStringLiteral("-batch"),
                    QStringLiteral("-ex"), QStringLiteral("thread apply all bt 30")});
        tool.waitForFinished(60000);
        return tool.readAllStandardOutput();
    }

    void startProgram() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), displayName);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        window.setProcessEnvironment(environment);
        window.setWorkingDirectory(program.path());
        window.start(QStringLiteral(FRAGMENTROVE_BINARY), {});
        ASSERT_TRUE(window.waitForStarted(10000));
        QByteArray id;
        ASSERT_TRUE(waitFor(
            [&] {
                id = xdotool({QStringLiteral("search"), QStringLiteral("--name"),
                              QStringLiteral("Fragmentrove 3.1")})
                         .trimmed();
                return !id.isEmpty();
            },
            60000))
            << "the window did not appear: " << window.readAllStandardError().toStdString()
            << " state " << window.state() << " display " << displayName.toStdString()
            << " xvfb: " << display.readAllStandardError().toStdString() << " windows: "
            << xdotool({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral(".")})
                   .toStdString()
            << " tree: " << windowTree().toStdString()
            << " stacks: " << stacksOf(window.processId()).toStdString();
        const QByteArray geometry =
            xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                     QString::fromLatin1(id.split('\n').front())});
        for (const QByteArray& line : geometry.split('\n')) {
            if (line.startsWith("X="))
                origin.setX(line.mid(2).toInt());
            if (line.startsWith("Y="))
                origin.setY(line.mid(2).toInt());
        }
    }

    // The message boxes up now: they carry the program's name as the main window does, so
    // they are the visible windows of that name but one.
    int boxesShown() {
        const QByteArray ids =
            xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), QStringLiteral("^Fragmentrove 3\\.1$")})
                .trimmed();
        const int windows = ids.isEmpty() ? 0 : int(ids.count('\n')) + 1;
        return std::max(windows - 1, 0);
    }
    // Waits for a message box and answers it with Return (Yes, or OK), then waits for it to
    // go: a key sent before the box is up would reach the window instead. False when no box
    // came.
    bool answerBox(int timeoutMs = 20000) {
        if (!waitFor([&] { return boxesShown() > 0; }, timeoutMs))
            return false;
        xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        waitFor([&] { return boxesShown() == 0; }, 5000);
        return true;
    }

    // Clicks a point of the window, in its own pixels.
    void click(int x, int y) {
        xdotool({QStringLiteral("mousemove"), QString::number(origin.x() + x),
                 QString::number(origin.y() + y), QStringLiteral("click"), QStringLiteral("1")});
        QThread::msleep(150);
    }
    void typeInto(int x, int y, const QString& text) {
        click(x, y);
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text});
    }
    // The copy-files command, the two path fields and the start button, where the page has them.
    void rescue(const QString& source, const QString& destination) {
        click(2 + 60, 56 + 11);
        typeInto(168 + 100, 120 + 10, source);
        typeInto(168 + 100, 170 + 10, destination);
        click(336 + 44, 200 + 10);
    }
};

TEST_F(RescueThroughWindowTest, RescuesStopsAndFinishesAfterARestart) {
    // Drive D: holds a medium with two unreadable places; drive E: takes the copies.
    const QList<ByteRange> bad{{100000, 100003}, {700001, 700900}};
    FaultyMedium medium(3 * 1024 * 1024 + 3, bad, {.name = QStringLiteral("photos.img")});
    test::DosDevices drives(program.path());
    drives.setRoot('D', medium.mountPoint());
    drives.setRoot('E', destinations.path());
    startProgram();

    rescue(QStringLiteral("D:\\photos.img"), QStringLiteral("E:\\photos.img"));
    const std::vector<std::uint8_t> zeros(512, 0);
    const test::ReferenceResult expected = test::referenceCopy(
        readAll(medium.backingPath()), bad, {}, 0, static_cast<quint32>(medium.size()), zeros);
    const QString copy = destinations.filePath(QStringLiteral("photos.img"));
    EXPECT_TRUE(waitFor([&] { return readAll(copy) == expected.destination; }, 60000))
        << "the rescued file differs from the step-by-step rescue";
    // The medium failed to read, so the program offers to register it; a folder drive has no
    // serial number, so it says so twice. Answer both.
    for (int box = 0; box < 2; ++box)
        EXPECT_TRUE(answerBox()) << "question " << box;
    // The map of the unreadable places opened beside the window, and the keys above still
    // reached the questions.
    EXPECT_FALSE(xdotool({QStringLiteral("search"), QStringLiteral("--name"),
                          QStringLiteral("^Unreadable areas - D:.photos.img$")})
                     .trimmed()
                     .isEmpty());

    // A slow medium, stopped midway: the journal keeps where it got to.
    const QList<ByteRange> slow{{4096, 4096 + 200 * 512}};
    FaultyMedium dying(2 * 1024 * 1024, slow, {.name = QStringLiteral("dying.img"), .delayMs = 40});
    drives.setRoot('F', dying.mountPoint());
    rescue(QStringLiteral("F:\\dying.img"), QStringLiteral("E:\\dying.img"));
    const QString partial = destinations.filePath(QStringLiteral("dying.img"));
    // Good data first reads the readable bytes before the damaged place at 4096 only after
    // those behind it: stopped once they are in the copy, the job's position is past them.
    const QByteArray head = FaultyMedium::pattern(0, 4096);
    ASSERT_TRUE(waitFor([&] { return readAll(partial).left(4096) == head; }, 30000));
    click(336 + 44, 240 + 10); // stop

    // The stop journals the job at once where its data is known to be on disk, and, once the
    // read under way has ended, where it got.
    const QString journal = program.file(QStringLiteral("databaza.fgv"));
    CopyJob entry;
    ASSERT_TRUE(waitFor(
        [&] { return entry.fromRecord(readAll(journal)) && entry.position.load() >= 4096u; },
        10000));
    EXPECT_EQ(entry.sourceName, QStringLiteral("F:\\dying.img"));
    EXPECT_EQ(entry.destinationName, QStringLiteral("E:\\dying.img"));
    EXPECT_EQ(entry.totalSize, 2u * 1024 * 1024);
    EXPECT_GE(entry.position.load(), 4096u);
    EXPECT_LT(entry.position.load(), entry.totalSize);

    // Closed and started again, the program finishes the copy from the journal: finish
    // copying, the first entry is selected, resume. It asks before writing into the copy that
    // is already there (and, when the copy is longer than expected, whether to go on): yes.
    waitFor([] { return false; }, 500); // let the stopped copy's last step land
    click(476 + 8, 5 + 7);              // the close picture
    ASSERT_TRUE(window.waitForFinished(10000)) << "the program did not close";
    startProgram();
    click(2 + 60, 128 + 11);   // finish copying
    click(168 + 47, 280 + 10); // resume
    ASSERT_TRUE(answerBox()) << "no question before writing into the copy";
    answerBox(3000); // the copy is longer than expected: asked only then
    const test::ReferenceResult finished = test::referenceCopy(
        readAll(dying.backingPath()), slow, {}, 0, static_cast<quint32>(dying.size()), zeros);
    EXPECT_TRUE(waitFor([&] { return readAll(partial) == finished.destination; }, 60000))
        << "the finished copy differs from an uninterrupted step-by-step rescue";
    EXPECT_EQ(QFileInfo(journal).size(), 0) << "the resumed entry is still in the journal";
}

// The program killed in the middle of a copy: the next start says that a job was put in the
// journal, the journal page shows it with its state, and resuming it finishes as a copy never
// interrupted.
TEST_F(RescueThroughWindowTest, ACopyKilledMidwayIsInTheJournalAtTheNextStartAndFinishesExact) {
    const QList<ByteRange> bad{{(1 << 20) + 512, (1 << 20) + 1536}};
    FaultyMedium dying(4 << 20, bad,
                       {.name = QStringLiteral("dying.img"),
                        .delayMs = 50,
                        .bytesPerSecond = 1 << 20,
                        .multithreaded = true});
    test::DosDevices drives(program.path());
    drives.setRoot('F', dying.mountPoint());
    drives.setRoot('E', destinations.path());
    startProgram();
    rescue(QStringLiteral("F:\\dying.img"), QStringLiteral("E:\\dying.img"));

    // Killed at a random moment after the job's first commit.
    const QDir maps(LiveJob::folderOf(program.path()));
    const auto running = [&maps] {
        const QStringList records = maps.entryList({QStringLiteral("*.job")}, QDir::Files);
        CopyJob job;
        if (records.size() == 1)
            job.fromRecord(readAll(maps.filePath(records.front())));
        return job;
    };
    ASSERT_TRUE(waitFor([&] { return running().position.load() > 0; }, 30000))
        << "the copy never committed its progress";
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    const int ms = std::uniform_int_distribution<int>(0, 1500)(random);
    std::cout << "killed " << ms << " ms after the first commit (seed " << seed << ")\n";
    QThread::msleep(ms);
    window.kill();
    ASSERT_TRUE(window.waitForFinished(10000));
    const CopyJob left = running();
    ASSERT_GT(left.position.load(), 0u);

    // The next start, in this process with scripted message boxes, so that their texts and the
    // journal page's labels can be read.
    test::ScriptedPlatform platform;
    test::ScriptedPrompts prompts;
    RawDiskAccess disk(program.path(), platform);
    ProgramContext context(program.path(), platform, prompts, disk);
    QTemporaryDir freshRuntime;
    SingleInstance instance(freshRuntime.path());
    ProgramWindow restarted(context, instance, {});
    ASSERT_EQ(restarted.create(), QString());
    TForm1& form = restarted.form();
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.shown.empty(); }, 5000));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, context.text(275));

    form.SpeedButton9Click(form.SpeedButton4);
    ASSERT_EQ(form.CheckListBox1->count(), 1);
    EXPECT_EQ(context.copyJob.position.load(), left.position.load());
    // The journal's rule: a destination that ends at the position, one fill block past it, or
    // where the bytes its map calls read end, is as a stop leaves it; one the killed copy wrote
    // further is of an unexpected size.
    const qint64 size = QFileInfo(destinations.filePath(QStringLiteral("dying.img"))).size();
    const qint64 past = size - qint64(left.position.load());
    std::int64_t reach = 0;
    for (const RescueMap::Block& block :
         readMapFile(LiveJob::mapPathOf(program.path(), left)).map.blocks())
        if (block.status == RescueMap::Status::Rescued)
            reach = std::max(reach, block.range.end);
    const bool asStopped =
        past == 0 || past == 512 || past == 1024 || past == 2048 || (past > 0 && size == reach);
    EXPECT_EQ(form.Label3->text(), context.text(68) + context.text(asStopped ? 69 : 73));

    // Resumed: yes to the unexpected size (when asked) and to writing into the copy.
    prompts.answers = {PromptAnswer::Yes, PromptAnswer::Yes};
    if (asStopped)
        prompts.answers.pop_front();
    QTest::mouseClick(form.SpeedButton20, Qt::LeftButton, {}, form.SpeedButton20->rect().center());
    ASSERT_FALSE(form.SpeedButton13->isEnabled()) << "the resume did not start";
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.SpeedButton13->isEnabled(); }, 60000));
    const std::vector<std::uint8_t> zeros(512, 0);
    const test::ReferenceResult finished = test::referenceCopy(
        readAll(dying.backingPath()), bad, {}, 0, static_cast<quint32>(dying.size()), zeros);
    EXPECT_TRUE(readAll(destinations.filePath(QStringLiteral("dying.img"))) == finished.destination)
        << "the finished copy differs from an uninterrupted step-by-step rescue";
    EXPECT_EQ(QFileInfo(program.file(QStringLiteral("databaza.fgv"))).size(), 0);
}

TEST_F(RescueThroughWindowTest, CopiesAWholeMediumIntoAFolder) {
    QString reason;
    if (!test::LoopMount::available(&reason))
        GTEST_SKIP() << reason.toStdString();
    // Drive E: is a stick image mounted through a loop device; drive F: takes the copy.
    const QByteArray album = QByteArray("holiday").repeated(300000);
    const QString image = program.file(QStringLiteral("stick.img"));
    test::MediaImages::ext4(image, QStringLiteral("STICK"),
                            QStringLiteral("0a1b2c3d-0000-4000-8000-000000000000"),
                            {{QStringLiteral("Album/Beach Day.jpg"), album},
                             {QStringLiteral("notes.txt"), "remember the keys"},
                             {QStringLiteral(".profile"), "hidden but copied"}});
    const QString root = program.file(QStringLiteral("stick"));
    test::LoopMount mount(image, root);
    ASSERT_TRUE(mount.mounted()) << mount.error().toStdString();
    test::DosDevices drives(program.path());
    drives.setRoot('E', root);
    drives.setDevice('E', image);
    drives.setRoot('F', destinations.path());
    ASSERT_TRUE(QDir(destinations.path()).mkpath(QStringLiteral("save")));
    startProgram();

    // The pauses leave room for a slow build (the sanitizers' run): a click or a key that comes
    // before the page is ready goes elsewhere, and nothing is copied.
    click(2 + 60, 104 + 11); // copy whole medium
    QThread::msleep(2000);   // the page reads every drive's label
    // The drive list opens; E: is chosen by its letter.
    click(168 + 70, 105 + 10);
    QThread::msleep(1000);
    xdotool({QStringLiteral("type"), QStringLiteral("E")});
    QThread::msleep(500);
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QThread::msleep(800);
    typeInto(168 + 100, 175 + 10, QStringLiteral("F:\\save\\"));
    click(336 + 44, 200 + 10); // start

    const QString save = destinations.filePath(QStringLiteral("save"));
    EXPECT_TRUE(waitFor(
        [&] {
            return readAll(save + QStringLiteral("/Album/Beach Day.jpg")) == album &&
                   readAll(save + QStringLiteral("/notes.txt")) == "remember the keys" &&
                   readAll(save + QStringLiteral("/.profile")) == "hidden but copied";
        },
        60000))
        << "the medium's files did not arrive whole in the folder";
    QStringList copied;
    for (QDirIterator walk(save, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         walk.hasNext();)
        copied.append(QDir(save).relativeFilePath(walk.next()));
    copied.sort();
    EXPECT_EQ(copied, (QStringList{".profile", "Album/Beach Day.jpg", "notes.txt"}))
        << "only drive E: is copied";
    EXPECT_EQ(QFileInfo(program.file(QStringLiteral("databaza.fgv"))).size(), 0)
        << "a whole-medium copy is never journalled";
    // The window is still there and answers: closing it ends the program.
    click(476 + 8, 5 + 7);
    EXPECT_TRUE(window.waitForFinished(10000)) << "the program did not close";
}

TEST_F(RescueThroughWindowTest, TestsAFailingMediumAndRegistersIt) {
    QString reason;
    if (!test::LoopDevice::available(&reason))
        GTEST_SKIP() << reason.toStdString();
    // Drive T: is a floppy on a loop device whose sector 1000 cannot be read.
    const QString image = program.file(QStringLiteral("floppy.img"));
    test::MediaImages::floppy(image, QStringLiteral("DISK1"), 0x0badcafe);
    FaultyMedium medium(image, {{1000 * 512 + 3, 1000 * 512 + 4}});
    test::LoopDevice loop(medium.path(), {.readOnly = true});
    test::DosDevices(program.path()).setDevice('T', loop.path());
    startProgram();

    click(2 + 60, 176 + 11);   // damaged media
    click(168 + 47, 280 + 10); // test a medium: the dialog opens at (150, 100)
    const QPoint dialog(150, 100);
    click(dialog.x() + 8 + 90, dialog.y() + 10 + 10); // its drive box
    xdotool({QStringLiteral("key"), QStringLiteral("t"), QStringLiteral("Return")});
    QThread::msleep(300);
    click(dialog.x() + 8 + 44, dialog.y() + 122 + 10); // start
    QThread::msleep(3000);
    click(dialog.x() + 104 + 44, dialog.y() + 122 + 10); // close: the register offer
    EXPECT_TRUE(answerBox()) << "no offer to register the medium";

    const QString registerFile = program.file(QStringLiteral("drives.fgv"));
    ASSERT_TRUE(
        waitFor([&] { return QFileInfo(registerFile).size() == RegisterRecord::kSize; }, 10000))
        << "the damaged medium was not registered";
    const RegisterRecord entry = RegisterRecord::fromBytes(readAll(registerFile));
    EXPECT_EQ(entry.serialText, QString::number(0x0badcafeu));
    EXPECT_EQ(entry.volumeLabel, QStringLiteral("DISK1"));
    EXPECT_EQ(entry.note, QString());
}

TEST_F(RescueThroughWindowTest, ImagesAFloppyDriveSectorBySector) {
    QString reason;
    if (!test::LoopDevice::available(&reason))
        GTEST_SKIP() << reason.toStdString();
    // Drive A: is a floppy on a loop device; drive F: takes its image.
    const QString floppy = program.file(QStringLiteral("floppy.img"));
    test::MediaImages::floppy(floppy, QStringLiteral("DISK1"), 0x0badcafe,
                              {{QStringLiteral("letter.txt"), QByteArray("dear ").repeated(9000)}});
    test::LoopDevice loop(floppy, {.readOnly = true});
    test::DosDevices drives(program.path());
    drives.setDevice('A', loop.path());
    drives.setRoot('F', destinations.path());
    startProgram();

    click(2 + 60, 152 + 11); // disk image
    QThread::msleep(500);    // the page reads every drive's label
    click(168 + 70, 120 + 10);
    QThread::msleep(400);
    xdotool({QStringLiteral("type"), QStringLiteral("A")});
    QThread::msleep(200);
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QThread::msleep(300);
    typeInto(168 + 100, 170 + 10, QStringLiteral("F:\\floppy.ima"));
    click(336 + 44, 200 + 10); // start

    const QByteArray medium = readAll(floppy);
    ASSERT_EQ(medium.size(), 1474560);
    EXPECT_TRUE(waitFor(
        [&] { return readAll(destinations.filePath(QStringLiteral("floppy.ima"))) == medium; },
        30000))
        << "the image is not the floppy's 2,880 sectors";
    EXPECT_EQ(QFileInfo(program.file(QStringLiteral("databaza.fgv"))).size(), 0)
        << "a finished image is not journalled";
    click(476 + 8, 5 + 7);
    EXPECT_TRUE(window.waitForFinished(10000)) << "the program did not close";
}

TEST_F(RescueThroughWindowTest, RipsATickedTrackOfADiscToATaggedMp3) {
    if (QStandardPaths::findExecutable(QStringLiteral("mpg123")).isEmpty())
        GTEST_SKIP() << "needs mpg123 to play the result";
    // Drive R: holds an audio disc of three tracks; drive F: takes the music.
    const test::TestDisc disc(program.path(), QStringLiteral("album"), {150, 300, 150});
    test::DosDevices drives(program.path());
    drives.setDevice('R', disc.cueSheet());
    drives.setRoot('F', destinations.path());
    ASSERT_TRUE(QDir(destinations.path()).mkpath(QStringLiteral("music")));
    startProgram();

    click(2 + 60, 80 + 11); // copy music: the disc's tracks are listed
    QThread::msleep(500);
    click(168 + 250, 168 + 8); // the first track's name selects it without ticking it
    xdotool({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("space")});
    // The second track's tag, through the list's menu: its second entry opens the dialog.
    xdotool({QStringLiteral("key"), QStringLiteral("Menu")});
    QThread::msleep(400);
    xdotool({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Down"),
             QStringLiteral("Return")});
    QThread::msleep(500);
    const QPoint dialog(10, 10);
    typeInto(dialog.x() + 10 + 80, dialog.y() + 70 + 10, QStringLiteral("Evening Song"));
    click(dialog.x() + 10 + 50, dialog.y() + 190 + 11); // confirm
    typeInto(168 + 75, 140 + 10, QStringLiteral("F:\\music"));
    click(337 + 65, 95 + 10); // start

    const QString mp3 = destinations.filePath(QStringLiteral("music/2.mp3"));
    ASSERT_TRUE(waitFor(
        [&] {
            const QByteArray file = readAll(mp3);
            return file.size() > 128 && file.right(128).mid(3, 12) == "Evening Song";
        },
        60000))
        << "no tagged 2.mp3 in the folder";
    QThread::msleep(500); // the page returns to idle
    const QByteArray tag = readAll(mp3).right(128);
    EXPECT_EQ(tag.left(3), "TAG");
    // And the version 2 tag that players read first, at the start, with the title whole.
    EXPECT_TRUE(readAll(mp3).startsWith("ID3\x04"));
    EXPECT_TRUE(readAll(mp3).left(200).contains("Evening Song"));
    EXPECT_EQ(tag.at(126), 2) << "the track number";
    EXPECT_EQ(QDir(destinations.filePath(QStringLiteral("music"))).entryList(QDir::Files),
              QStringList{QStringLiteral("2.mp3")})
        << "only the ticked track is ripped";
    QProcess player;
    player.start(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-w"),
                                            destinations.filePath(QStringLiteral("2.wav")), mp3});
    ASSERT_TRUE(player.waitForFinished(60000));
    EXPECT_EQ(player.exitCode(), 0);
    // 300 sectors are 4 seconds of sound: 705,600 bytes, less the encoder's last part chunk.
    EXPECT_GT(QFileInfo(destinations.filePath(QStringLiteral("2.wav"))).size(), 690000);
    click(476 + 8, 5 + 7);
    EXPECT_TRUE(window.waitForFinished(10000)) << "the program did not close";
}

TEST_F(RescueThroughWindowTest, FormatsAnImageDriveWithTheChosenLabel) {
    // Drive G: is a blank image file.
    const QString image = program.file(QStringLiteral("stick.img"));
    QFile blank(image);
    ASSERT_TRUE(blank.open(QIODevice::WriteOnly));
    ASSERT_TRUE(blank.resize(8 << 20));
    blank.close();
    test::DosDevices(program.path()).setDevice('G', image);
    startProgram();

    click(2 + 60, 200 + 11); // format
    QThread::msleep(500);    // the page reads every drive's label
    click(168 + 70, 120 + 10);
    QThread::msleep(400);
    xdotool({QStringLiteral("type"), QStringLiteral("G")});
    QThread::msleep(200);
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QThread::msleep(300);
    click(320 + 57, 119 + 10); // the dialog opens centred, 20 pixels below the window's top
    QThread::msleep(800);
    const QPoint dialog((500 - 340) / 2, 20);
    typeInto(dialog.x() + 154 + 88, dialog.y() + 112 + 11, QStringLiteral("holiday"));
    click(dialog.x() + 10 + 77, dialog.y() + 258 + 12); // format: the question naming G:
    EXPECT_TRUE(answerBox()) << "no question before formatting";

    EXPECT_TRUE(waitFor(
        [&] { return MediaIdentity::identify(image).VolumeLabel == QLatin1String("HOLIDAY"); },
        30000))
        << "the drive was not formatted with its label";
    EXPECT_TRUE(MediaIdentity::identify(image).FileSystemName.startsWith(QLatin1String("FAT")));
    click(dialog.x() + 175 + 77, dialog.y() + 258 + 12); // close the dialog
    QThread::msleep(300);
}

TEST_F(RescueThroughWindowTest, ShowsASectorOfAnImageDriveAndSavesIt) {
    // Drive F: is a FAT image whose sector 1 holds a pattern; drive E: takes the saved sector.
    const QString image = program.file(QStringLiteral("data.img"));
    test::MediaImages::fat(image, 16, QStringLiteral("DATA"), 0x1234abcd);
    QByteArray sector(512, '\0');
    for (int index = 0; index < sector.size(); ++index)
        sector[index] = char(index * 13 + 1);
    {
        QFile file(image);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(512));
        ASSERT_EQ(file.write(sector), sector.size());
    }
    test::DosDevices drives(program.path());
    drives.setDevice('F', image);
    drives.setRoot('E', destinations.path());
    startProgram();

    click(2 + 60, 224 + 11); // the sector viewer
    QThread::msleep(500);
    click(168 + 70, 110 + 10); // the drive box
    QThread::msleep(400);
    xdotool({QStringLiteral("type"), QStringLiteral("F")});
    QThread::msleep(200);
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    // Pauses long enough for a machine under load: a click before the page is ready goes
    // elsewhere.
    QThread::msleep(800);
    click(168 + 36, 290 + 10); // read the drive: sector 1
    QThread::msleep(800);
    click(242 + 36, 290 + 10); // save the sector: the save dialog
    // The name is typed once the dialog is up: typed before, it goes to the window.
    ASSERT_TRUE(waitFor(
        [&] {
            return !xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--name"), QStringLiteral("Save the sector to a file")})
                        .trimmed()
                        .isEmpty();
        },
        20000))
        << "no save dialog: " << windowTree().toStdString();
    QThread::msleep(500);
    const QString saved = destinations.filePath(QStringLiteral("sector.bin"));
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), saved});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(waitFor([&] { return readAll(saved) == sector; }, 10000))
        << "the saved file is not sector 1 of the drive";
}

TEST_F(RescueThroughWindowTest, WipesAFileSoThatItsNameAndBytesAreGone) {
    // Drive D: holds the file; a second file beside it must stay untouched.
    const QString secret = destinations.filePath(QStringLiteral("secret.bin"));
    const QString neighbour = destinations.filePath(QStringLiteral("keep.bin"));
    for (const QString& path : {secret, neighbour}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("password ").repeated(200000));
    }
    test::DosDevices drives(program.path());
    drives.setRoot('D', destinations.path());
    startProgram();

    click(2 + 60, 296 + 11); // secure deletion
    typeInto(168 + 100, 170 + 10, QStringLiteral("D:\\secret.bin"));
    click(168 + 70, 210 + 10); // overwrite and delete
    EXPECT_TRUE(waitFor([&] { return !QFileInfo::exists(secret); }, 30000))
        << "the file is still there";
    EXPECT_EQ(readAll(neighbour), QByteArray("password ").repeated(200000));
    EXPECT_TRUE(answerBox()) << "no report that the file is gone";
    QThread::msleep(300);
    click(476 + 8, 5 + 7);
    EXPECT_TRUE(window.waitForFinished(10000)) << "the program did not close";
}

} // namespace
} // namespace fr
