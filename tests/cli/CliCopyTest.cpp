// The command line's rescue copy against the window's and the plain 4-byte loop, its map, and
// the exit statuses and messages a script relies on.

#include "cli/CliProcess.h"
#include "core/CopyJob.h"
#include "core/LanguageTable.h"
#include "core/RescueMap.h"
#include "rescue/RecordFile.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/ReferenceRescue.h"
#include "support/TempProgramDir.h"
#include "support/WindowFixture.h"
#include "widgets/FlatButton.h"
#include "window/CopyFilesPage.h"
#include "window/TForm1.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::ByteRange;
using test::CliResult;
using test::contentOf;
using test::FaultyMedium;
using test::runCli;
using test::writeFile;

class CliCopyTest : public test::WindowFixture {
protected:
    void SetUp() override { createWindow(); }
};

TEST_F(CliCopyTest, ADamagedFileIsCopiedAsTheWindowCopiesItAndItsMapListsTheFilledAreas) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 size = 300 * 1024 + 3;
    const QList<ByteRange> bad = {{10001, 10005}, {150000, 153333}, {250000, 250001}};
    FaultyMedium medium(size, bad);
    drives.setRoot('E', medium.mountPoint());

    const CliResult cli = runCli(dir.path(), {"copy", "E:\\disk.img", media.filePath("cli.bin"),
                                              "--map", media.filePath("cli.map")});
    EXPECT_EQ(cli.exitCode, 1) << cli.err.toStdString();

    form->SpeedButton9Click(form->SpeedButton1);
    form->Edit1->setText(QStringLiteral("E:\\disk.img"));
    form->Edit2->setText(QStringLiteral("D:\\window.bin"));
    ASSERT_TRUE(window->copyFilesPage()->SpeedButton13Click());
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->SpeedButton13->isEnabled(); }, 60000));

    const test::ReferenceResult reference = test::referenceCopy(
        contentOf(medium.backingPath()), bad, {}, 0, size, context.fillBuffers.fillBufferZero);
    const QByteArray copied = contentOf(media.filePath("cli.bin"));
    EXPECT_TRUE(copied == reference.destination) << copied.size() << " bytes";
    EXPECT_TRUE(copied == contentOf(media.filePath("window.bin")));

    const MapFileContents map = readMapFile(media.filePath("cli.map"));
    ASSERT_EQ(map.error, QString());
    EXPECT_EQ(map.map.size, size);
    EXPECT_EQ(map.map.unreadable.size(), 3u);
    EXPECT_EQ(map.map.unreadable, reference.filled);
    EXPECT_TRUE(map.map.finished());
    EXPECT_EQ(QFile(dir.file("databaza.fgv")).size(), 0) << "a finished copy leaves no entry";

    writeFile(media.filePath("healthy.bin"), FaultyMedium::pattern(0, 100000));
    const CliResult healthy = runCli(dir.path(), {"copy", "D:\\healthy.bin", "D:\\healthy.copy"});
    EXPECT_EQ(healthy.exitCode, 0) << healthy.err.toStdString();
    EXPECT_TRUE(contentOf(media.filePath("healthy.copy")) == FaultyMedium::pattern(0, 100000));
}

TEST_F(CliCopyTest, DeleteSourceKeepsWhatWasNotReadWholeAndADamagedEntryIsNeverRun) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    FaultyMedium medium(100003, {{5000, 5001}});
    drives.setRoot('E', medium.mountPoint());
    const CliResult filled =
        runCli(dir.path(), {"copy", "E:\\disk.img", "D:\\out.bin", "--delete-source"});
    EXPECT_EQ(filled.exitCode, 1) << filled.err.toStdString();
    EXPECT_TRUE(filled.out.contains(context.text(261))) << filled.out.toStdString();
    EXPECT_FALSE(filled.out.contains(QStringLiteral("deleted")));
    EXPECT_TRUE(QFile::exists(medium.path()));

    // An entry whose position lies far beyond the size its source still has.
    const QByteArray source = FaultyMedium::pattern(0, 10000);
    writeFile(media.filePath(QStringLiteral("src.bin")), source);
    writeFile(media.filePath(QStringLiteral("dst.bin")), {});
    CopyJob job;
    job.sourceName = QStringLiteral("D:\\src.bin");
    job.destinationName = QStringLiteral("D:\\dst.bin");
    job.position = 2441400;
    job.totalSize = 10000;
    dir.write(QStringLiteral("databaza.fgv"), job.toRecord());
    const CliResult resumed = runCli(dir.path(), {"-y", "resume", "1", "--delete-source"});
    EXPECT_EQ(resumed.exitCode, 2);
    EXPECT_TRUE(resumed.err.contains(context.text(263))) << resumed.err.toStdString();
    EXPECT_FALSE(resumed.out.contains(QStringLiteral("Done"))) << resumed.out.toStdString();
    EXPECT_TRUE(contentOf(media.filePath(QStringLiteral("src.bin"))) == source);
    EXPECT_TRUE(contentOf(dir.file(QStringLiteral("databaza.fgv"))) == job.toRecord());
    const CliResult listed = runCli(dir.path(), {"resume"});
    EXPECT_TRUE(listed.out.contains(context.text(263))) << listed.out.toStdString();
}

TEST_F(CliCopyTest, AMediumThatGoesAwayStopsTheCopyInTheJournalAndItsResumeIsExact) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 size = 8 * 1024 * 1024 + 5;
    FaultyMedium medium(size, {}, {.bytesPerSecond = 4 * 1024 * 1024, .multithreaded = true});
    drives.setRoot('E', medium.mountPoint());
    const QString out = media.filePath(QStringLiteral("out.bin"));
    const auto cli = test::startCli(dir.path(), {"copy", "E:\\disk.img", "D:\\out.bin"});
    ASSERT_TRUE(QTest::qWaitFor([&out] { return QFileInfo(out).size() >= 1024 * 1024; }, 30000));
    medium.disconnect();
    const CliResult stopped = test::finishCli(*cli);
    EXPECT_EQ(stopped.exitCode, 128) << stopped.err.toStdString();
    EXPECT_TRUE(stopped.out.contains(context.text(262))) << stopped.out.toStdString();
    EXPECT_FALSE(stopped.out.contains(QStringLiteral("Done")));
    const std::vector<CopyJob> journal =
        test::journalEntries(dir.file(QStringLiteral("databaza.fgv")));
    ASSERT_EQ(journal.size(), 1u);
    const CopyJob& entry = journal[0];
    EXPECT_EQ(qint64(entry.position.load()), QFileInfo(out).size()) << "journalled where it got";
    EXPECT_LT(qint64(entry.position.load()), size);

    // The same source, healthy, under the same name.
    const QByteArray healthy = contentOf(medium.backingPath());
    medium.unmount();
    QTemporaryDir copyOfSource;
    writeFile(copyOfSource.filePath(QStringLiteral("disk.img")), healthy);
    drives.setRoot('E', copyOfSource.path());
    const CliResult resumed = runCli(dir.path(), {"-y", "resume", "1"});
    EXPECT_EQ(resumed.exitCode, 0) << resumed.err.toStdString();
    EXPECT_TRUE(contentOf(out) == healthy);
    EXPECT_EQ(QFileInfo(dir.file(QStringLiteral("databaza.fgv"))).size(), 0);
}

// What a script sees when it gets the command wrong, when a check refuses the job, and when
// the job fails: the status, and a message that names the problem, the file and the reason.
TEST(CliExitStatusTest, BadUsageRefusalsAndFailuresNameTheProblem) {
    test::TempProgramDir dir;
    QTemporaryDir media;
    test::DosDevices drives(dir.path());
    drives.setRoot('D', media.path());
    drives.setRoot('G', media.path());
    LanguageTable language;
    ASSERT_EQ(language.load(dir.file("lang/lang.eng")), QString());
    writeFile(media.filePath("source.bin"), FaultyMedium::pattern(0, 5000));
    writeFile(media.filePath("kept.bin"), "keep me");

    struct Case {
        QStringList arguments;
        int exitCode;
        QStringList said; // each must appear in the messages
    };
    const QString missing = media.filePath("missing.bin");
    const QString noFolder = media.filePath("no/such/folder/copy.bin");
    const Case cases[] = {
        {{}, 2, {"no command given"}},
        {{"frobnicate"}, 2, {"unknown command \"frobnicate\""}},
        {{"copy", "D:\\source.bin"}, 2, {"copy needs a source and a destination"}},
        {{"copy", "--block", "4096", "D:\\source.bin", "D:\\x"}, 2, {"--block 4096"}},
        // A value left out before the next option is named, not taken from that option.
        {{"copy", "D:\\source.bin", "D:\\x", "--block"}, 2, {"--block needs a value"}},
        {{"test", "D:", "--map", "--yes"}, 2, {"--map needs a value"}},
        {{"image", "--fill", "zero", "D:", "D:\\x"}, 2, {"has no option --fill"}},
        {{"copy", missing, "D:\\x"}, 2, {language[102], missing, "No such file or directory"}},
        {{"copy", "D:\\source.bin", "D:\\kept.bin"}, 2, {language[63].left(30), "--yes"}},
        {{"copy", "D:\\source.bin", "Q:\\x"}, 2, {"Q:"}},
        // The same file under another drive letter: refused before the question about it.
        {{"copy", "D:\\source.bin", "G:\\source.bin"}, 2, {language[175]}},
        {{"resume", "3"}, 2, {"the journal is empty"}},
        {{"register", "remove", "1"}, 2, {"the register is empty"}},
        {{"wipe", missing}, 2, {language[164], missing}},
        {{"copy", "D:\\source.bin", noFolder}, 3, {noFolder, "No such file or directory"}},
    };
    for (const Case& c : cases) {
        const CliResult run = runCli(dir.path(), c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        for (const QString& text : c.said)
            EXPECT_TRUE(run.err.contains(text))
                << c.arguments.join(' ').toStdString() << ": \"" << text.toStdString()
                << "\" not in: " << run.err.toStdString();
    }
    EXPECT_EQ(contentOf(media.filePath("kept.bin")), "keep me");
    EXPECT_EQ(QFile(dir.file("databaza.fgv")).size(), 0) << "nothing got far enough to journal";
}

} // namespace
} // namespace fr
