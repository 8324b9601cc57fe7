// File names are bytes: a backslash is a character of a native name, and names that are not
// UTF-8 (Latin-1 from an old FAT stick, a cut character) are copied, journalled and resumed
// under their exact bytes.

#include "cli/CliProcess.h"
#include "core/CopyJob.h"
#include "rescue/RecordFile.h"
#include "support/ByteNames.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/TempProgramDir.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::CliResult;
using test::contentOfByteNamed;
using test::writeByteNamed;

// A name from its bytes, as the system lists it.
QString named(const QByteArray& bytes) {
    return fileNameFromBytes(bytes);
}

QByteArray pattern(qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class CliFileNamesTest : public ::testing::Test {
protected:
    void SetUp() override { drives.setRoot('D', media.path()); }

    CliResult run(const QStringList& arguments) {
        return test::finishCli(*test::startCliWithBytes(dir.path(), arguments, scratch.path()));
    }

    test::TempProgramDir dir;
    QTemporaryDir media; // drive D:
    QTemporaryDir scratch;
    test::EmptiedAtEnd emptied{media.path()};
    test::DosDevices drives{dir.path()};
};

TEST_F(CliFileNamesTest, ABackslashIsPartOfANativeNameAndNamesOfAnyBytesAreCopiedUnderThem) {
    const QByteArray data = pattern(300 * 1024 + 17);
    writeByteNamed(media.filePath(QStringLiteral("src.bin")), data);
    // The folder the backslash once split the name into: nothing may land in it.
    ASSERT_TRUE(QDir(media.path()).mkdir(QStringLiteral("we")));
    const QString weird = media.path() + named("/we\\ird.bin");
    const CliResult backslash = run({"copy", media.filePath("src.bin"), weird});
    EXPECT_EQ(backslash.exitCode, 0) << backslash.err.toStdString();
    EXPECT_TRUE(contentOfByteNamed(weird) == data);
    EXPECT_EQ(contentOfByteNamed(media.filePath(QStringLiteral("we/ird.bin"))), "<missing>");

    // A Latin-1 source typed as a native path, to a drive-form destination whose name ends in
    // a cut UTF-8 character.
    const QString latin1 = media.path() + named("/caf\xe9.bin");
    writeByteNamed(latin1, data);
    const CliResult copied = run({"copy", latin1, named("D:\\r\xe9sum\xc3.bin")});
    EXPECT_EQ(copied.exitCode, 0) << copied.err.toStdString();
    EXPECT_TRUE(contentOfByteNamed(media.path() + named("/r\xe9sum\xc3.bin")) == data);
    // Nothing was written under the name with the bytes replaced.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::bytePath(media.path())))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 4);
}

TEST_F(CliFileNamesTest, AStoppedCopyIsJournalledUnderTheExactBytesAndResumed) {
    QString why;
    if (!test::FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 size = 8 * 1024 * 1024 + 5;
    test::FaultyMedium medium(size, {}, {.bytesPerSecond = 2 * 1024 * 1024, .multithreaded = true});
    // Drive E: holds the medium's file under a Latin-1 name.
    QTemporaryDir sourceRoot;
    test::EmptiedAtEnd emptiedSource(sourceRoot.path());
    const QByteArray sourceName = "E:\\caf\xe9.img";
    const QString nativeSource = sourceRoot.path() + named("/caf\xe9.img");
    std::filesystem::create_symlink(test::bytePath(medium.path()), test::bytePath(nativeSource));
    drives.setRoot('E', sourceRoot.path());
    // The destination has a backslash and a byte that is no UTF-8: it stays a native path.
    const QString destination = media.path() + named("/old\\r\xe9sum\xff.bin");

    const auto cli = test::startCliWithBytes(dir.path(), {"copy", named(sourceName), destination},
                                             scratch.path());
    ASSERT_TRUE(QTest::qWaitFor(
        [&destination] {
            std::error_code missing;
            const auto size = std::filesystem::file_size(test::bytePath(destination), missing);
            return !missing && size >= 1 << 20;
        },
        30000));
    ::kill(static_cast<pid_t>(cli->processId()), SIGINT);
    const CliResult stopped = test::finishCli(*cli);
    EXPECT_EQ(stopped.exitCode, 128 + SIGINT) << stopped.err.toStdString();

    const RecordFile::Contents journal =
        RecordFile(dir.file(QStringLiteral("databaza.fgv")), CopyJob::kRecordBytes).readAll();
    ASSERT_EQ(journal.records.size(), 1u);
    const QByteArray& record = journal.records[0];
    const auto field = [&record](int offset) {
        return record.mid(offset + 1, static_cast<unsigned char>(record[offset]));
    };
    EXPECT_EQ(field(0), sourceName);
    EXPECT_EQ(field(256), fileNameBytes(destination));
    // The journal finds both files as the stop left them.
    const CliResult listed = test::runCli(dir.path(), {"resume"});
    EXPECT_FALSE(listed.out.contains('(')) << listed.out.toStdString();

    // The same bytes, healthy, under the same name.
    const QByteArray healthy = test::contentOf(medium.backingPath());
    std::filesystem::remove(test::bytePath(nativeSource));
    writeByteNamed(nativeSource, healthy);
    const CliResult resumed = test::runCli(dir.path(), {"-y", "resume", "1"});
    EXPECT_EQ(resumed.exitCode, 0) << resumed.err.toStdString();
    EXPECT_TRUE(contentOfByteNamed(destination) == healthy);
    EXPECT_TRUE(test::journalEntries(dir.file(QStringLiteral("databaza.fgv"))).empty());
}

} // namespace
} // namespace fr
