// The whole-medium copy without the window: which files it gathers and in what order, and the
// worker that rescues them one after the other (fill blocks byte for byte, stale tails cut, a
// stop or a failure that leaves every later file alone).

#include "rescue/MediumEx.h"

#include "core/FillBuffers.h"
#include "core/JobSignals.h"
#include "core/LiveJob.h"
#include "rescue/FileCollector.h"
#include "support/ByteNames.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/ReferenceRescue.h"
#include "support/ScriptedPlatform.h"
#include "support/TmpfsMount.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/stat.h>

namespace fr {
namespace {

using test::ByteRange;
using test::FaultyMedium;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// --- Gathering the files ---------------------------------------------------------------

TEST(FileCollector, TakesMatchingFilesDepthFirstAndSkipsHiddenFoldersLinksAndPipes) {
    QTemporaryDir root;
    const QStringList files{"top.txt",      ".hidden.txt",      "Report.DOC",    "a/one.txt",
                            "a/x/deep.txt", "a/x/y/deeper.txt", "a/two.txt",     "b/three.txt",
                            "b/z/four.txt", "c/skip.bin",       ".cache/no.txt", "a/.git/no.txt"};
    for (const QString& file : files)
        writeFile(root.filePath(file), file.toUtf8());
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("b")),
                            root.filePath(QStringLiteral("loop")))); // a folder link: not entered
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("top.txt")),
                            root.filePath(QStringLiteral("linked.txt")))); // a file link: taken
    ASSERT_EQ(
        ::mkfifo(QFile::encodeName(root.filePath(QStringLiteral("pipe.txt"))).constData(), 0600),
        0);

    const CollectedFiles got =
        collectFiles(QStringLiteral("E:\\"), root.path(), QStringLiteral("*.txt;*.doc"));
    EXPECT_TRUE(got.unreadableFolders.isEmpty()) << got.unreadableFolders.join(' ').toStdString();
    QStringList sorted = got.files;
    sorted.sort();
    EXPECT_EQ(sorted,
              (QStringList{"E:\\.hidden.txt", "E:\\Report.DOC", "E:\\a\\one.txt", "E:\\a\\two.txt",
                           "E:\\a\\x\\deep.txt", "E:\\a\\x\\y\\deeper.txt", "E:\\b\\three.txt",
                           "E:\\b\\z\\four.txt", "E:\\linked.txt", "E:\\top.txt"}));

    // Depth first: a folder's own files come before anything in its subfolders, and each
    // folder's whole subtree comes in one run, never interleaved with another's.
    const auto folderOf = [](const QString& file) {
        return file.left(file.lastIndexOf('\\') + 1);
    };
    std::set<QString> folders;
    for (const QString& file : got.files)
        for (int end = file.indexOf('\\'); end >= 0; end = file.indexOf('\\', end + 1))
            folders.insert(file.left(end + 1));
    for (const QString& folder : folders) {
        SCOPED_TRACE(folder.toStdString());
        qsizetype first = -1;
        qsizetype last = -1;
        for (qsizetype i = 0; i < got.files.size(); ++i) {
            if (!got.files[i].startsWith(folder))
                continue;
            if (first < 0)
                first = i;
            last = i;
        }
        for (qsizetype i = first; i <= last; ++i) {
            EXPECT_TRUE(got.files[i].startsWith(folder)) << got.files[i].toStdString();
            if (i > first && folderOf(got.files[i]) == folder) {
                EXPECT_EQ(folderOf(got.files[i - 1]), folder)
                    << got.files[i].toStdString() << " comes after a subfolder's file";
            }
        }
    }

    // Another volume mounted inside the medium is a drive of its own (C: holds /proc and /sys):
    // the walk stays on the medium.
    if (test::TmpfsMount::available()) {
        const QString inner = root.filePath(QStringLiteral("a/mounted"));
        QDir().mkpath(inner);
        test::TmpfsMount volume(inner, 64 * 1024);
        ASSERT_TRUE(volume.mounted()) << volume.error().toStdString();
        writeFile(inner + QStringLiteral("/other.txt"), "another drive");
        ASSERT_TRUE(QFile::link(inner + QStringLiteral("/other.txt"),
                                root.filePath(QStringLiteral("elsewhere.txt"))));
        const QStringList taken =
            collectFiles(QStringLiteral("E:\\"), root.path(), QStringLiteral("*.*")).files;
        EXPECT_FALSE(taken.contains(QStringLiteral("E:\\a\\mounted\\other.txt")));
        EXPECT_FALSE(taken.contains(QStringLiteral("E:\\elsewhere.txt")));
    }

    const CollectedFiles missing =
        collectFiles(QStringLiteral("F:\\"), QString(), QStringLiteral("*.*"));
    EXPECT_TRUE(missing.files.isEmpty());
    ASSERT_EQ(missing.unreadableFolders.size(), 1);
    EXPECT_TRUE(missing.unreadableFolders[0].startsWith(QStringLiteral("F:\\: ")));
}

// --- The worker --------------------------------------------------------------------------

// Drives of a program folder of its own (D: the sources, G: the destinations), a job's
// signals, and everything the worker reports, in order.
class MediumExTest : public testing::Test {
protected:
    QTemporaryDir program;
    QTemporaryDir sources;
    QTemporaryDir destinations;
    test::DosDevices dosDevices{program.path()};
    std::shared_ptr<JobSignals> jobSignals = std::make_shared<JobSignals>();
    FillBuffers buffers;
    test::ScriptedPlatform platform;
    std::vector<QString> started; // "source > destination size"
    std::vector<int> percents;
    MediumOutcome outcome;
    int ended = 0;
    std::function<void(int, std::uint32_t)> onProgress;
    QString programDir; // where the worker keeps each file's map; none when empty

    void SetUp() override {
        std::mt19937 random(7);
        buffers.setUp(0, random);
        dosDevices.setRoot('D', sources.path());
        dosDevices.setRoot('G', destinations.path());
    }

    QString source(const QString& name) const { return sources.filePath(name); }
    QString destination(const QString& name) const { return destinations.filePath(name); }

    MediumOutcome copy(const QStringList& files) {
        MediumExHooks hooks;
        hooks.post = [](std::function<void()> work) {
            work();
        };
        hooks.fileStarted = [this](const QString& from, const QString& to, std::uint32_t size) {
            started.push_back(from + " > " + to + ' ' + QString::number(size));
        };
        hooks.progress = [this](int percent, std::uint32_t position) {
            percents.push_back(percent);
            if (onProgress)
                onProgress(percent, position);
        };
        hooks.ended = [this](const MediumOutcome& got) {
            outcome = got;
            ++ended;
        };
        MediumEx worker({files, QStringLiteral("G:\\out\\"),
                         DriveMap::fromDosDevices(dosDevices.folder()), jobSignals, buffers, 0,
                         platform, programDir},
                        std::move(hooks));
        return worker.run();
    }
};

TEST_F(MediumExTest, ADamagedFileInTheMiddleIsFilledByteForByteAndMarksTheJob) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QList<ByteRange> bad{{1000, 1003}, {70001, 70600}};
    FaultyMedium medium(200 * 1024 + 3, bad);
    dosDevices.setRoot('F', medium.mountPoint());
    writeFile(source(QStringLiteral("first.bin")), QByteArray("first").repeated(999));
    writeFile(source(QStringLiteral("Last One.bin")), QByteArray("last"));

    const MediumOutcome got = copy({"D:\\first.bin", "F:\\disk.img", "D:\\Last One.bin"});
    EXPECT_TRUE(got.readFailed);
    EXPECT_FALSE(got.stopped);
    EXPECT_TRUE(got.failure.isEmpty()) << got.failure.toStdString();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(started, (std::vector<QString>{"D:\\first.bin > G:\\out\\first.bin 4995",
                                             "F:\\disk.img > G:\\out\\disk.img 204803",
                                             "D:\\Last One.bin > G:\\out\\Last One.bin 4"}));
    const std::vector<std::uint8_t> zeros(512, 0);
    const QByteArray expected = test::referenceCopy(readAll(medium.backingPath()), bad, {}, 0,
                                                    static_cast<quint32>(medium.size()), zeros)
                                    .destination;
    EXPECT_TRUE(readAll(destination(QStringLiteral("out/disk.img"))) == expected);
    EXPECT_EQ(readAll(destination(QStringLiteral("out/first.bin"))),
              QByteArray("first").repeated(999));
    EXPECT_EQ(readAll(destination(QStringLiteral("out/Last One.bin"))), QByteArray("last"));
}

TEST_F(MediumExTest, FoldersAreMadeAndALongerOldDestinationIsCutToTheCopy) {
    writeFile(source(QStringLiteral("docs/deep/a.txt")), "new");
    writeFile(destination(QStringLiteral("out/docs/deep/a.txt")), "an older and longer file");
    writeFile(source(QStringLiteral("b.txt")), "b");
    jobSignals->deleteSource = true;
    const MediumOutcome got = copy({"D:\\docs\\deep\\a.txt", "D:\\b.txt"});
    EXPECT_TRUE(got.failure.isEmpty()) << got.failure.toStdString();
    EXPECT_FALSE(got.readFailed);
    EXPECT_EQ(readAll(destination(QStringLiteral("out/docs/deep/a.txt"))), QByteArray("new"));
    EXPECT_EQ(readAll(destination(QStringLiteral("out/b.txt"))), QByteArray("b"));
    EXPECT_FALSE(QFile::exists(source(QStringLiteral("docs/deep/a.txt"))))
        << "a source copied to its end is deleted";
    EXPECT_FALSE(QFile::exists(source(QStringLiteral("b.txt"))));
    EXPECT_EQ(percents, (std::vector<int>{100, 100})) << "each file's progress is its own";
}

TEST_F(MediumExTest, DeleteSourceKeepsEveryFileThatWasNotReadWhole) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    FaultyMedium medium(200 * 1024 + 3, {{1000, 1003}});
    dosDevices.setRoot('F', medium.mountPoint());
    writeFile(source(QStringLiteral("healthy.bin")), "healthy");
    jobSignals->deleteSource = true;
    const MediumOutcome got = copy({"F:\\disk.img", "D:\\healthy.bin"});
    EXPECT_TRUE(got.readFailed);
    EXPECT_EQ(got.keptSources, QStringList{QStringLiteral("F:\\disk.img")});
    EXPECT_TRUE(got.undeletedSources.isEmpty()) << got.undeletedSources.join(' ').toStdString();
    EXPECT_TRUE(QFile::exists(medium.path()));
    EXPECT_FALSE(QFile::exists(source(QStringLiteral("healthy.bin")))) << "read whole: deleted";
}

TEST_F(MediumExTest, AStopAfterTheFirstFileLeavesEveryLaterFileAlone) {
    writeFile(source(QStringLiteral("one.bin")), QByteArray(10000, '1'));
    writeFile(source(QStringLiteral("two.bin")), QByteArray(10000, '2'));
    writeFile(source(QStringLiteral("three.bin")), QByteArray(10000, '3'));
    writeFile(destination(QStringLiteral("out/two.bin")), "an older two");
    jobSignals->deleteSource = true;
    // The stop arrives as the first file reaches its end.
    onProgress = [this](int, std::uint32_t position) {
        if (position == 10000)
            jobSignals->stopRequested = true;
    };
    const MediumOutcome got = copy({"D:\\one.bin", "D:\\two.bin", "D:\\three.bin"});
    EXPECT_TRUE(got.stopped);
    EXPECT_TRUE(got.failure.isEmpty());
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(started.size(), 1u);
    EXPECT_EQ(readAll(destination(QStringLiteral("out/one.bin"))), QByteArray(10000, '1'));
    EXPECT_FALSE(QFile::exists(source(QStringLiteral("one.bin"))));
    EXPECT_EQ(readAll(destination(QStringLiteral("out/two.bin"))), QByteArray("an older two"));
    EXPECT_FALSE(QFile::exists(destination(QStringLiteral("out/three.bin"))));
    EXPECT_TRUE(QFile::exists(source(QStringLiteral("two.bin"))));
    EXPECT_TRUE(QFile::exists(source(QStringLiteral("three.bin"))));
}

// Each file's map is on disk while it is copied, naming the file, and goes when it is done: a
// whole-medium copy leaves no journal entry to keep it for.
TEST_F(MediumExTest, EachFileKeepsItsMapWhileItIsCopied) {
    writeFile(source(QStringLiteral("one.bin")), QByteArray(10000, '1'));
    writeFile(source(QStringLiteral("two.bin")), QByteArray(10000, '2'));
    programDir = program.path();
    const QDir maps(LiveJob::folderOf(programDir));
    QStringList seen;
    onProgress = [&](int, std::uint32_t) {
        for (const QString& name : maps.entryList({QStringLiteral("*")}, QDir::Files))
            for (const QByteArray& line : readAll(maps.filePath(name)).split('\n'))
                if (line.startsWith("# Source:"))
                    seen << name + ' ' + QString::fromUtf8(line.mid(9).trimmed());
    };
    const MediumOutcome got = copy({"D:\\one.bin", "D:\\two.bin"});
    EXPECT_TRUE(got.failure.isEmpty()) << got.failure.toStdString();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[0].endsWith(QStringLiteral(".map D:\\one.bin"))) << seen[0].toStdString();
    EXPECT_TRUE(seen[1].endsWith(QStringLiteral(".map D:\\two.bin"))) << seen[1].toStdString();
    EXPECT_EQ(maps.entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{});
}

TEST_F(MediumExTest, AFileThatCannotBeCopiedEndsTheJobAndNamesIt) {
    writeFile(source(QStringLiteral("one.bin")), "one");
    writeFile(source(QStringLiteral("three.bin")), "three");

    // A source gone since the list was made: no later file is made.
    MediumOutcome got = copy({"D:\\one.bin", "D:\\gone.bin", "D:\\three.bin"});
    EXPECT_TRUE(got.failure.startsWith(QStringLiteral("D:\\gone.bin -> G:\\out\\gone.bin: ")))
        << got.failure.toStdString();
    EXPECT_FALSE(QFile::exists(destination(QStringLiteral("out/gone.bin"))));
    EXPECT_FALSE(QFile::exists(destination(QStringLiteral("out/three.bin"))));
    EXPECT_EQ(ended, 1);

    // A destination that is a folder is not written.
    QDir(destinations.path()).mkpath(QStringLiteral("out/three.bin"));
    got = copy({"D:\\three.bin"});
    EXPECT_TRUE(got.failure.startsWith(QStringLiteral("D:\\three.bin -> G:\\out\\three.bin: ")))
        << got.failure.toStdString();
    EXPECT_TRUE(QFileInfo(destination(QStringLiteral("out/three.bin"))).isDir());
}

TEST_F(MediumExTest, NamesOfAnyBytesAreGatheredAndCopiedUnderTheirOwnBytes) {
    const test::EmptiedAtEnd emptiedSources(sources.path());
    const test::EmptiedAtEnd emptiedDestinations(destinations.path());
    const auto at = [](const QTemporaryDir& folder, const QByteArray& name) {
        return folder.path() + '/' + fileNameFromBytes(name);
    };
    // Latin-1, a folder of bytes that are no UTF-8, and backslashes in a file's and a folder's
    // name (old FAT media, folders from other machines).
    const QByteArray names[] = {"caf\xe9.txt", "bad\xff\xfe/inner.txt", "we\\ird.txt",
                                "back\\slash/deep\xe9.txt"};
    for (const QByteArray& name : names) {
        std::filesystem::create_directories(test::bytePath(at(sources, name)).parent_path());
        test::writeByteNamed(at(sources, name), name + " holds these bytes");
    }
    // The folder a backslash would split "we\ird.txt" into.
    QDir(destinations.path()).mkpath(QStringLiteral("out/we"));

    const CollectedFiles collected =
        collectFiles(QStringLiteral("D:\\"), sources.path(), QStringLiteral("*.txt"));
    EXPECT_TRUE(collected.unreadableFolders.isEmpty());
    EXPECT_EQ(collected.files.size(), 4);
    EXPECT_TRUE(collected.files.contains(fileNameFromBytes("D:\\bad\xff\xfe\\inner.txt")));
    const MediumOutcome got = copy(collected.files);
    EXPECT_TRUE(got.failure.isEmpty()) << fileNameBytes(got.failure).toStdString();
    for (const QByteArray& name : names)
        EXPECT_EQ(test::contentOfByteNamed(at(destinations, "out/" + name)),
                  name + " holds these bytes")
            << name.toStdString();
    EXPECT_TRUE(QDir(destinations.filePath(QStringLiteral("out/we"))).isEmpty());
}

} // namespace
} // namespace fr
