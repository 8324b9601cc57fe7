// Secure deletion on the command line: what is not one file is refused before anything is
// written, and a stop signal ends the wipe between two passes, with the file kept and the
// user told how far it got.

#include "cli/CliProcess.h"
#include "core/LanguageTable.h"
#include "support/TempProgramDir.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::CliResult;
using test::runCli;

TEST(CliWipeTest, AFolderOrALinkIsRefusedAndNothingIsTouched) {
    test::TempProgramDir dir;
    QTemporaryDir folder;
    LanguageTable language;
    ASSERT_EQ(language.load(dir.file("lang/lang.eng")), QString());

    const CliResult wipedFolder = runCli(dir.path(), {"-y", "wipe", folder.path()});
    EXPECT_EQ(wipedFolder.exitCode, 2);
    EXPECT_TRUE(wipedFolder.err.contains("is a folder")) << wipedFolder.err.toStdString();
    EXPECT_FALSE(wipedFolder.err.contains(language[164].trimmed()));

    const QString target = folder.filePath("secret.txt");
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    const QString link = folder.filePath("link.txt");
    ASSERT_TRUE(QFile::link(target, link));
    const CliResult wipedLink = runCli(dir.path(), {"-y", "wipe", link});
    EXPECT_EQ(wipedLink.exitCode, 2);
    EXPECT_TRUE(wipedLink.err.contains(language[241].trimmed())) << wipedLink.err.toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep me"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

// The signal comes once the first pass of a large file is written, while the second is.
TEST(CliWipeTest, AStopSignalEndsTheWipeBetweenPassesAndKeepsTheFile) {
    test::TempProgramDir dir;
    QTemporaryDir folder;
    const QString path = folder.filePath("large.bin");
    constexpr qint64 kSize = 256LL << 20;
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(kSize)); // sparse: all zeros, written by the passes
    }
    auto process = test::startCli(dir.path(), {"-y", "wipe", path});
    QByteArray out;
    while (!out.contains("pass 1 of 3 written") && process->waitForReadyRead(60000))
        out += process->readAllStandardOutput();
    ASSERT_TRUE(out.contains("pass 1 of 3 written")) << out.toStdString();
    ASSERT_EQ(::kill(pid_t(process->processId()), SIGINT), 0);
    const CliResult result = test::finishCli(*process);

    EXPECT_EQ(result.exitCode, 128 + SIGINT) << (out + result.out.toUtf8()).toStdString();
    EXPECT_TRUE(result.out.contains("Stopped after pass")) << result.out.toStdString();
    EXPECT_TRUE(result.out.contains("not deleted"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the file is kept";
    EXPECT_EQ(file.size(), kSize);
    // Every 4096 bytes the same block: one pass whole, not one pass over part of another.
    const QByteArray block = file.read(4096);
    EXPECT_NE(block, QByteArray(4096, '\0'));
    for (qint64 at = 4096; at < kSize; at += 4096) {
        if (file.read(4096) != block)
            FAIL() << "the file is a mixture of passes at byte " << at;
    }
}

} // namespace
} // namespace fr
