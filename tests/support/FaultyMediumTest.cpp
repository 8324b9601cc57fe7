// The failing-media fixtures are checked here first, so a broken fixture shows up as itself
// rather than as a puzzling failure in the tests that rely on it.
#include "support/FaultyMedium.h"

#include "support/DosDevices.h"
#include "support/LoopDevice.h"
#include "support/MediaImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace fr::test;

namespace {

#define SKIP_WITHOUT(Fixture)                                                                      \
    do {                                                                                           \
        QString why;                                                                               \
        if (!Fixture::available(&why))                                                             \
            GTEST_SKIP() << why.toStdString();                                                     \
    } while (false)

// What one pread gave: the bytes, or the errno it failed with.
struct ReadResult {
    QByteArray bytes;
    int error = 0;
};

class Fd {
public:
    Fd(const QString& path, int flags) : fd_(::open(QFile::encodeName(path).constData(), flags)) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

    ReadResult read(qint64 offset, qint64 length) const {
        // O_DIRECT wants an aligned buffer; any buffer will do otherwise.
        std::unique_ptr<char, decltype(&std::free)> buffer(
            static_cast<char*>(std::aligned_alloc(4096, (length + 4095) / 4096 * 4096)),
            &std::free);
        const ssize_t got = ::pread(fd_, buffer.get(), length, offset);
        if (got < 0)
            return {{}, errno};
        return {QByteArray(buffer.get(), got), 0};
    }

private:
    int fd_;
};

bool isMounted(const QString& path) {
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    return table.readAll().contains(' ' + QFile::encodeName(path) + ' ');
}

QMap<QString, QString> blkid(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("blkid"),
                  {QStringLiteral("-p"), QStringLiteral("-o"), QStringLiteral("export"), path});
    process.waitForFinished(30000);
    QMap<QString, QString> values;
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            values.insert(line.left(equals), line.mid(equals + 1));
    }
    return values;
}

QByteArray toolOutput(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return process.readAllStandardOutput();
}

} // namespace

TEST(FaultyMedium, ReadsFailWholeOnlyWhereTheyTouchABadRange) {
    SKIP_WITHOUT(FaultyMedium);
    QString mountPoint;
    {
        FaultyMedium medium(64 * 1024, {{5000, 5001}, {20000, 24096}});
        mountPoint = medium.mountPoint();
        ASSERT_TRUE(isMounted(mountPoint));
        EXPECT_EQ(QFileInfo(medium.path()).size(), 64 * 1024);

        const Fd fd(medium.path(), O_RDONLY);
        ASSERT_GE(fd.get(), 0);
        EXPECT_EQ(fd.read(0, 4096).bytes, FaultyMedium::pattern(0, 4096));
        // Up to the first bad byte and from just after it (the end is exclusive).
        EXPECT_EQ(fd.read(4096, 904).bytes, FaultyMedium::pattern(4096, 904));
        EXPECT_EQ(fd.read(5001, 3000).bytes, FaultyMedium::pattern(5001, 3000));
        // No partial data: a read touching a bad byte fails as a whole.
        EXPECT_EQ(fd.read(4096, 4096).error, EIO);
        EXPECT_EQ(fd.read(19000, 1001).error, EIO);
        EXPECT_EQ(fd.read(24095, 1).error, EIO);
        EXPECT_EQ(fd.read(24096, 100).bytes, FaultyMedium::pattern(24096, 100));
        EXPECT_EQ(medium.reads(), 7);
        EXPECT_EQ(medium.failedReads(), 3);

        // Writes reach the backing file, but not where the medium is bad.
        const Fd out(medium.path(), O_WRONLY);
        EXPECT_EQ(::pwrite(out.get(), "fresh", 5, 100), 5);
        EXPECT_EQ(::pwrite(out.get(), "fresh", 5, 4998), -1);
        EXPECT_EQ(errno, EIO);
        QFile backing(medium.backingPath());
        ASSERT_TRUE(backing.open(QIODevice::ReadOnly));
        const QByteArray stored = backing.readAll();
        EXPECT_EQ(stored.mid(100, 5), "fresh");
        EXPECT_EQ(stored.mid(4998, 5), FaultyMedium::pattern(4998, 5));
    }
    EXPECT_FALSE(isMounted(mountPoint));
}

TEST(FaultyMedium, BadRangesChangedWhileMountedTakeEffect) {
    SKIP_WITHOUT(FaultyMedium);
    FaultyMedium medium(16 * 1024, {{1024, 2048}});
    const Fd fd(medium.path(), O_RDONLY);
    ASSERT_EQ(fd.read(1024, 512).error, EIO);

    medium.setBadRanges({});
    EXPECT_TRUE(medium.badRanges().isEmpty());
    EXPECT_EQ(fd.read(1024, 512).bytes, FaultyMedium::pattern(1024, 512));

    medium.setBadRanges({{0, 1}, {8192, 8704}});
    EXPECT_EQ(medium.badRanges(), (QList<ByteRange>{{0, 1}, {8192, 8704}}));
    EXPECT_EQ(fd.read(0, 512).error, EIO);
    EXPECT_EQ(fd.read(8704, 512).bytes, FaultyMedium::pattern(8704, 512));
    EXPECT_EQ(fd.read(8191, 2).error, EIO);
    // Text faultyfs cannot take is refused, and the ranges stay as they were.
    QFile control(medium.mountPoint() + QStringLiteral("/bad"));
    const int raw = ::open(QFile::encodeName(control.fileName()).constData(), O_WRONLY | O_TRUNC);
    ASSERT_GE(raw, 0);
    ASSERT_EQ(::write(raw, "9-3", 3), 3);
    EXPECT_NE(::close(raw), 0);
    EXPECT_EQ(medium.badRanges().size(), 2);
}

TEST(FaultyMedium, ShortReadsGiveTheGoodBytesBeforeABadRange) {
    SKIP_WITHOUT(FaultyMedium);
    FaultyMedium medium(16 * 1024, {{5001, 5002}}, {.shortReads = true});
    const Fd fd(medium.path(), O_RDONLY);
    EXPECT_EQ(fd.read(4096, 4096).bytes, FaultyMedium::pattern(4096, 905));
    EXPECT_EQ(fd.read(5000, 4).bytes, FaultyMedium::pattern(5000, 1));
    EXPECT_EQ(fd.read(5001, 4).error, EIO) << "a read that begins on a bad byte still fails";
    EXPECT_EQ(fd.read(5002, 4).bytes, FaultyMedium::pattern(5002, 4));
    EXPECT_EQ(medium.failedReads(), 3);
}

TEST(FaultyMedium, MultithreadedMediumAnswersOthersDuringASlowFailingRead) {
    SKIP_WITHOUT(FaultyMedium);
    FaultyMedium medium(16 * 1024, {{8192, 8193}}, {.delayMs = 1000, .multithreaded = true});
    const Fd fd(medium.path(), O_RDONLY);
    std::atomic<bool> slowReadDone{false};
    std::thread slow([&] {
        EXPECT_EQ(fd.read(8192, 4).error, EIO);
        slowReadDone = true;
    });
    // The counters, a stat and a good read all come while the failing read still waits.
    while (medium.failedReads() == 0)
        QThread::msleep(5);
    EXPECT_EQ(QFileInfo(medium.path()).size(), 16 * 1024);
    EXPECT_EQ(fd.read(0, 4096).bytes, FaultyMedium::pattern(0, 4096));
    EXPECT_FALSE(slowReadDone.load());
    slow.join();
}

// A destination beside the medium, on a disk whose cache a power cut empties: what was synced
// stays, everything after it (writes, growth, a cut) is put back, in the medium too.
TEST(FaultyMedium, APowerCutKeepsExactlyWhatEachFileLastSynced) {
    SKIP_WITHOUT(FaultyMedium);
    FaultyMedium medium(16 * 1024, {}, {.keepsOnlySynced = true});
    const QString copy = medium.mountPoint() + QStringLiteral("/copy.bin");
    const Fd out(copy, O_RDWR | O_CREAT | O_EXCL);
    ASSERT_GE(out.get(), 0) << "a file can be created beside the medium";
    const QByteArray synced(8192, 'a');
    ASSERT_EQ(::pwrite(out.get(), synced.constData(), synced.size(), 0), synced.size());
    ASSERT_EQ(::fdatasync(out.get()), 0);
    ASSERT_EQ(::pwrite(out.get(), QByteArray(1000, 'b').constData(), 1000, 4000), 1000);
    ASSERT_EQ(::pwrite(out.get(), QByteArray(5000, 'c').constData(), 5000, 7000), 5000);
    ASSERT_EQ(::ftruncate(out.get(), 100), 0);
    ASSERT_EQ(::pwrite(out.get(), "d", 1, 200), 1);
    const Fd disk(medium.path(), O_RDWR);
    ASSERT_EQ(::pwrite(disk.get(), "fresh", 5, 100), 5);
    EXPECT_EQ(QFileInfo(copy).size(), 201);
    EXPECT_TRUE(QDir(medium.mountPoint()).entryList(QDir::Files).contains("copy.bin"));

    medium.powerCut();
    EXPECT_EQ(out.read(0, 20000).bytes, synced);
    EXPECT_EQ(disk.read(0, 4096).bytes, FaultyMedium::pattern(0, 4096));

    // Synced work survives the next cut; the medium's reads count nothing of the copy's.
    ASSERT_EQ(::pwrite(out.get(), "e", 1, 8192), 1);
    ASSERT_EQ(::fsync(out.get()), 0);
    medium.powerCut();
    EXPECT_EQ(out.read(0, 20000).bytes, synced + 'e');
    EXPECT_EQ(medium.reads(), 1);
    EXPECT_EQ(medium.bytesRead(), 4096);
}

// The trace a bench reads its timings from: every read of the medium, in order, with what it
// delivered and whether it failed, complete once the filesystem has been unmounted.
TEST(FaultyMedium, TraceListsEveryReadOnceUnmounted) {
    SKIP_WITHOUT(FaultyMedium);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source"));
    const QString mountPoint = dir.filePath(QStringLiteral("mnt"));
    const QString trace = dir.filePath(QStringLiteral("trace"));
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(FaultyMedium::pattern(0, 10000));
    file.close();
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    QProcess faultyfs;
    faultyfs.start(QStringLiteral(FRAGMENTROVE_FAULTYFS),
                   {"--source", source, "--bad", "5000-5001", "--delay-ms", "30", "--short-reads",
                    "--trace", trace, "--exit-with-parent", mountPoint});
    ASSERT_TRUE(faultyfs.waitForStarted());
    for (int tries = 0; tries < 200 && !isMounted(mountPoint); ++tries)
        QThread::msleep(10);
    ASSERT_TRUE(isMounted(mountPoint));
    {
        const Fd fd(mountPoint + QStringLiteral("/disk.img"), O_RDONLY);
        EXPECT_EQ(fd.read(0, 4096).bytes.size(), 4096);
        EXPECT_EQ(fd.read(4096, 4096).bytes.size(), 904);
        EXPECT_EQ(fd.read(5000, 100).error, EIO);
        EXPECT_EQ(fd.read(8192, 4096).bytes.size(), 10000 - 8192);
    }
    ASSERT_EQ(QProcess::execute(QStringLiteral("fusermount3"), {"-u", mountPoint}), 0);
    ASSERT_TRUE(faultyfs.waitForFinished(10000));
    EXPECT_EQ(faultyfs.exitCode(), 0) << faultyfs.readAllStandardError().toStdString();

    QFile written(trace);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = written.readAll().split('\n');
    ASSERT_TRUE(lines.first().startsWith('#'));
    lines.removeFirst();
    lines.removeAll(QByteArray());
    QStringList reads;
    qint64 previous = -1;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        ASSERT_EQ(fields.size(), 5) << line.toStdString();
        const qint64 microseconds = fields[0].toLongLong();
        EXPECT_GE(microseconds, previous) << "lines in time order";
        previous = microseconds;
        reads << QString::fromLatin1(fields.mid(1).join(' '));
    }
    EXPECT_EQ(reads, QStringList({"0 4096 4096 ok", "4096 4096 904 failed", "5000 100 0 failed",
                                  "8192 4096 1808 ok"}));
    // The time is when the answer came, after the failed read's delay.
    EXPECT_GE(lines[2].split(' ')[0].toLongLong() - lines[0].split(' ')[0].toLongLong(), 60000);
}

TEST(LoopDevice, DirectReadsOverAFaultyMediumFailOnlyTheBadSectors) {
    SKIP_WITHOUT(FaultyMedium);
    SKIP_WITHOUT(LoopDevice);
    FaultyMedium medium(64 * 1024, {{5000, 5001}});
    QString node;
    {
        LoopDevice loop(medium.path(), {.readOnly = true});
        node = loop.path();
        const Fd fd(loop.path(), O_RDONLY | O_DIRECT);
        ASSERT_GE(fd.get(), 0);
        for (qint64 sector = 0; sector < 16; ++sector) {
            const ReadResult sectorRead = fd.read(sector * 512, 512);
            if (sector == 5000 / 512)
                EXPECT_EQ(sectorRead.error, EIO) << "sector " << sector;
            else
                EXPECT_EQ(sectorRead.bytes, FaultyMedium::pattern(sector * 512, 512))
                    << "sector " << sector;
        }
        // Newer kernels open a read-only device for writing but refuse every write.
        const Fd writer(loop.path(), O_WRONLY);
        EXPECT_TRUE(writer.get() < 0 || ::pwrite(writer.get(), "x", 1, 0) < 0);
    }
    EXPECT_FALSE(QFileInfo::exists(
        QStringLiteral("/sys/block/%1/loop/backing_file").arg(QFileInfo(node).fileName())));

    LoopDevice large(medium.path(), {.readOnly = true, .sectorSize = 4096});
    const Fd fd(large.path(), O_RDONLY | O_DIRECT);
    int sectorSize = 0;
    ASSERT_EQ(::ioctl(fd.get(), BLKSSZGET, &sectorSize), 0);
    EXPECT_EQ(sectorSize, 4096);
    EXPECT_EQ(fd.read(0, 4096).bytes, FaultyMedium::pattern(0, 4096));
    EXPECT_EQ(fd.read(4096, 4096).error, EIO);
}

TEST(MediaImages, CarryTheirLabelSerialAndFiles) {
    QTemporaryDir dir;
    const QList<ImageFile> files{{QStringLiteral("Top.TXT"), "top"},
                                 {QStringLiteral("sub/inner.bin"), QByteArray(3000, '\x5a')}};

    struct FatCase {
        int bits;
        const char* version;
    };
    for (const FatCase& fatCase : {FatCase{12, "FAT12"}, {16, "FAT16"}, {32, "FAT32"}}) {
        SCOPED_TRACE(fatCase.version);
        const QString image = dir.filePath(QStringLiteral("fat%1.img").arg(fatCase.bits));
        MediaImages::fat(image, fatCase.bits, QStringLiteral("RESCUE"), 0x1234abcd, files);
        const auto values = blkid(image);
        EXPECT_EQ(values.value(QStringLiteral("TYPE")), QStringLiteral("vfat"));
        EXPECT_EQ(values.value(QStringLiteral("VERSION")), QLatin1String(fatCase.version));
        EXPECT_EQ(values.value(QStringLiteral("LABEL")), QStringLiteral("RESCUE"));
        EXPECT_EQ(values.value(QStringLiteral("UUID")), MediaImages::fatSerialText(0x1234abcd));
        EXPECT_EQ(toolOutput(QStringLiteral("mtype"),
                             {QStringLiteral("-i"), image, QStringLiteral("::/sub/inner.bin")}),
                  QByteArray(3000, '\x5a'));
    }
    const QString floppy = dir.filePath(QStringLiteral("floppy.img"));
    MediaImages::floppy(floppy, QStringLiteral("DISK1"), 0x0badcafe);
    EXPECT_EQ(QFileInfo(floppy).size(), 1474560);
    EXPECT_EQ(blkid(floppy).value(QStringLiteral("UUID")), QStringLiteral("0BAD-CAFE"));

    const QString ext4 = dir.filePath(QStringLiteral("ext4.img"));
    const QString uuid = QStringLiteral("0123abcd-4567-89ab-cdef-0123456789ab");
    MediaImages::ext4(ext4, QStringLiteral("home"), uuid, files);
    EXPECT_EQ(blkid(ext4).value(QStringLiteral("TYPE")), QStringLiteral("ext4"));
    EXPECT_EQ(blkid(ext4).value(QStringLiteral("LABEL")), QStringLiteral("home"));
    EXPECT_EQ(blkid(ext4).value(QStringLiteral("UUID")), uuid);
    EXPECT_EQ(toolOutput(QStringLiteral("debugfs"),
                         {QStringLiteral("-R"), QStringLiteral("cat /Top.TXT"), ext4}),
              "top");

    const QString iso = dir.filePath(QStringLiteral("disc.iso"));
    MediaImages::iso9660(iso, QStringLiteral("PHOTOS_2009"), files);
    EXPECT_EQ(blkid(iso).value(QStringLiteral("TYPE")), QStringLiteral("iso9660"));
    EXPECT_EQ(blkid(iso).value(QStringLiteral("LABEL")), QStringLiteral("PHOTOS_2009"));
    EXPECT_EQ(blkid(iso).value(QStringLiteral("UUID")), QStringLiteral("2024-01-01-12-00-00-00"));
    EXPECT_EQ(toolOutput(QStringLiteral("xorriso"),
                         {QStringLiteral("-indev"), iso, QStringLiteral("-osirrox"),
                          QStringLiteral("on"), QStringLiteral("-extract"),
                          QStringLiteral("/sub/inner.bin"), dir.filePath(QStringLiteral("out"))}),
              QByteArray());
    QFile extracted(dir.filePath(QStringLiteral("out")));
    ASSERT_TRUE(extracted.open(QIODevice::ReadOnly));
    EXPECT_EQ(extracted.readAll(), QByteArray(3000, '\x5a'));
}

TEST(MediaImages, AnImageServedThroughAFaultyMediumKeepsItsIdentity) {
    SKIP_WITHOUT(FaultyMedium);
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("floppy.img"));
    MediaImages::floppy(image, QStringLiteral("OLDDISK"), 0xfeedf00d);
    // The last sectors are bad; the boot sector blkid reads is not.
    FaultyMedium medium(image, {{1474560 - 4096, 1474560}}, {.name = QStringLiteral("fd0")});
    EXPECT_EQ(medium.size(), 1474560);
    EXPECT_EQ(QFileInfo(medium.path()).fileName(), QStringLiteral("fd0"));
    const auto values = blkid(medium.path());
    EXPECT_EQ(values.value(QStringLiteral("LABEL")), QStringLiteral("OLDDISK"));
    EXPECT_EQ(values.value(QStringLiteral("UUID")), QStringLiteral("FEED-F00D"));
    EXPECT_EQ(Fd(medium.path(), O_RDONLY).read(1474560 - 512, 512).error, EIO);
}

TEST(DosDevices, LinksLettersInLowerCaseAndReplacesThem) {
    QTemporaryDir programDir;
    QTemporaryDir root;
    const DosDevices drives(programDir.path());
    drives.setRoot(QLatin1Char('X'), root.path());
    drives.setDevice(QLatin1Char('x'), QStringLiteral("/dev/null"));
    EXPECT_EQ(QFileInfo(drives.folder() + QStringLiteral("/x:")).symLinkTarget(), root.path());
    EXPECT_EQ(QFileInfo(drives.folder() + QStringLiteral("/x::")).symLinkTarget(),
              QStringLiteral("/dev/null"));
    drives.setDevice(QLatin1Char('X'), QStringLiteral("/dev/zero"));
    EXPECT_EQ(QFileInfo(drives.folder() + QStringLiteral("/x::")).symLinkTarget(),
              QStringLiteral("/dev/zero"));
    drives.remove(QLatin1Char('x'));
    EXPECT_TRUE(QDir(drives.folder())
                    .entryList(QDir::System | QDir::AllEntries | QDir::NoDotAndDotDot)
                    .isEmpty());
}
