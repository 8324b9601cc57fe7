// The two image jobs on real media: every sector of a volume into its image, zeros exactly in
// the 32-sector groups that fail, a stopped job resumed inside its image, and an image written
// back whole sectors only, with unreadable groups as zeros and refused writes counted.

#include "core/CopyJob.h"
#include "core/JobSignals.h"
#include "core/LiveJob.h"
#include "core/RescueMap.h"
#include "disk/ImageEx.h"
#include "disk/ImageRaw.h"
#include "support/FaultyMedium.h"
#include "support/LoopDevice.h"
#include "support/MediaImages.h"
#include "support/ScriptedPlatform.h"
#include "support/TestDisc.h"
#include "support/TmpfsMount.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::FaultyMedium;
using test::LoopDevice;

constexpr qint64 kGroup = 32 * 512;

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// What the step-by-step loop writes: the medium's bytes, with the groups that hold a bad byte
// as zeros.
// The medium's bytes with zeros for each unit (a sector when read, a group of sectors when a
// image file's group is written out) that holds a bad byte.
QByteArray expectedImage(const QByteArray& medium, const QList<ByteRange>& bad, qint64 unit = 512) {
    QByteArray image = medium;
    for (qint64 at = 0; at < image.size(); at += unit)
        for (const ByteRange& range : bad)
            if (range.start < at + unit && range.end > at)
                image.replace(at, std::min(unit, image.size() - at),
                              QByteArray(std::min(unit, image.size() - at), '\0'));
    return image;
}

class ImageJobTest : public testing::Test {
protected:
    ImageSetup setup(const QString& medium, const QString& image, std::uint32_t end,
                     std::uint32_t position = 0, std::shared_ptr<LiveJob> live = nullptr) {
        return {medium, image, 512, position, end, signals_, platform, std::move(live)};
    }
    // Runs on this thread, with every report delivered at once.
    static ImageHooks inline_() {
        ImageHooks hooks;
        hooks.post = [](std::function<void()> work) {
            work();
        };
        return hooks;
    }
    QString file(const char* name) const { return folder.filePath(QLatin1String(name)); }

    QTemporaryDir folder;
    test::ScriptedPlatform platform;
    std::shared_ptr<JobSignals> signals_ = std::make_shared<JobSignals>();
};

TEST_F(ImageJobTest, AFloppyGivesEverySectorOfTheDevice) {
    QString why;
    if (!LoopDevice::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QString floppy = file("floppy.img");
    test::MediaImages::floppy(floppy, QStringLiteral("DISK1"), 0x0badcafe,
                              {{QStringLiteral("notes.txt"), QByteArray(5000, 'n')}});
    LoopDevice device(floppy, {.readOnly = true});
    ImageEx job(setup(device.path(), file("floppy.ima"), 2880), inline_());
    const ImageOutcome outcome = job.run();
    EXPECT_EQ(outcome.failure, QString());
    EXPECT_FALSE(outcome.readFailed);
    EXPECT_EQ(outcome.position, 2880u);
    const QByteArray image = contentOf(file("floppy.ima"));
    EXPECT_EQ(image.size(), 1474560);
    EXPECT_TRUE(image == contentOf(floppy));
}

TEST_F(ImageJobTest, OnlyUnreadableSectorsBecomeZerosAndTheShortLastGroupIsKept) {
    QString why;
    if (!FaultyMedium::available(&why) || !LoopDevice::available(&why))
        GTEST_SKIP() << why.toStdString();
    // 100 groups and 5 sectors; a bad sector in group 3, a range across groups 40 and 41, and
    // one in the short last group.
    const qint64 size = 100 * kGroup + 5 * 512;
    const QList<ByteRange> bad = {{3 * kGroup + 1024, 3 * kGroup + 1536},
                                  {41 * kGroup - 512, 41 * kGroup + 512},
                                  {100 * kGroup + 1024, 100 * kGroup + 1536}};
    FaultyMedium medium(size, bad);
    LoopDevice device(medium.path(), {.readOnly = true});
    ImageEx job(setup(device.path(), file("bad.ima"), size / 512), inline_());
    const ImageOutcome outcome = job.run();
    EXPECT_EQ(outcome.failure, QString());
    EXPECT_TRUE(outcome.readFailed);
    EXPECT_EQ(outcome.position, size / 512);
    const QByteArray image = contentOf(file("bad.ima"));
    ASSERT_EQ(image.size(), size);
    EXPECT_TRUE(image == expectedImage(FaultyMedium::pattern(0, size), bad));
    // Every readable sector is in the image: the map holds exactly the unreadable sectors.
    AreaList zeroed;
    for (const ByteRange& range : bad)
        zeroed.add(range);
    EXPECT_EQ(outcome.unreadableAreas, zeroed);
    EXPECT_EQ(job.unreadableBytes(), static_cast<std::uint64_t>(zeroed.totalBytes()));

    // A healthy short last group is no error: it is read up to the volume's end.
    medium.setBadRanges({});
    ImageEx healthy(setup(device.path(), file("good.ima"), size / 512), inline_());
    EXPECT_FALSE(healthy.run().readFailed);
    EXPECT_TRUE(contentOf(file("good.ima")) == FaultyMedium::pattern(0, size));
}

TEST_F(ImageJobTest, AStoppedJobResumesInsideItsImageToTheSameResult) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const qint64 size = 16 << 20;
    const QList<ByteRange> bad = {{5 << 20, (5 << 20) + 512}};
    FaultyMedium medium(size, bad);
    const auto end = static_cast<std::uint32_t>(size / 512);

    ImageHooks stopping = inline_();
    stopping.progress = [this](int, std::uint32_t) {
        signals_->stopRequested = true;
    };
    ImageEx first(setup(medium.path(), file("resumed.ima"), end), stopping);
    const ImageOutcome stopped = first.run();
    ASSERT_EQ(stopped.failure, QString());
    ASSERT_GT(stopped.position, 0u);
    ASSERT_LT(stopped.position, end);
    EXPECT_EQ(stopped.position % 32, 0u);
    // Something beyond the position is never taken for done: the resume writes over it.
    QFile image(file("resumed.ima"));
    ASSERT_TRUE(image.open(QIODevice::ReadWrite));
    ASSERT_TRUE(image.resize(qint64(stopped.position) * 512 + 4096));
    image.close();

    signals_ = std::make_shared<JobSignals>();
    ImageEx rest(setup(medium.path(), file("resumed.ima"), end, stopped.position), inline_());
    const ImageOutcome resumed = rest.run();
    EXPECT_EQ(resumed.position, end);
    EXPECT_TRUE(resumed.readFailed);
    EXPECT_TRUE(contentOf(file("resumed.ima")) ==
                expectedImage(FaultyMedium::pattern(0, size), bad));
}

TEST_F(ImageJobTest, AStoppedJobKeepsItsMapAndAResumedOneEndsItAsAnUninterruptedRunWould) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    // 8 MiB at 4 MiB a second, a bad sector in each half.
    const qint64 size = 8 << 20;
    const QList<ByteRange> bad = {{(1 << 20) + 512, (1 << 20) + 1024},
                                  {(6 << 20) + 100, (6 << 20) + 101}};
    FaultyMedium medium(size, bad, {.bytesPerSecond = 4 << 20});
    const auto end = static_cast<std::uint32_t>(size / 512);
    QTemporaryDir programDir;
    CopyJob job;
    job.sourceName = QStringLiteral("EE");
    job.destinationName = QStringLiteral("D:\\live.ima");
    job.totalSize = end;
    job.stampStart(QDateTime::currentDateTime());
    const auto begin = [&](const CopyJob& from) {
        LiveJob::Description description;
        description.job = from;
        description.bytes = size;
        description.unitBytes = 512;
        QString error;
        auto live = LiveJob::begin(programDir.path(), description, &error);
        EXPECT_EQ(error, QString());
        return live;
    };

    ImageHooks stopping = inline_();
    // Stopped while the first sweep reads on behind the first bad place.
    stopping.progress = [this](int, std::uint32_t position) {
        if (position >= (1 << 20) / 512)
            signals_->stopRequested = true;
    };
    auto live = begin(job);
    ASSERT_TRUE(live);
    ImageEx first(setup(medium.path(), file("live.ima"), end, 0, live), stopping);
    const ImageOutcome stopped = first.run();
    ASSERT_EQ(stopped.failure, QString());
    ASSERT_LT(stopped.position, end);
    // The map and the record say where the stop left the job: all of it on the image's disk.
    // The position waits at the first bad place, which the last pass has not gone over yet.
    EXPECT_EQ(live->committedPosition(), stopped.position);
    EXPECT_EQ(stopped.position, (1u << 20) / 512);
    const QString mapPath = LiveJob::mapPathOf(programDir.path(), job);
    const MapFileContents atStop = readMapFile(mapPath);
    ASSERT_EQ(atStop.error, QString());
    EXPECT_EQ(atStop.map.size, size);
    EXPECT_TRUE(atStop.map.pending().overlaps({(1 << 20) + 512, (1 << 20) + 1024}));
    EXPECT_FALSE(atStop.map.pending().overlaps({0, 1 << 20}));
    live->retire(true);

    // A later run of the same job takes up the map its earlier run left.
    signals_ = std::make_shared<JobSignals>();
    job.position = stopped.position;
    live = begin(job);
    ASSERT_TRUE(live);
    // The first bad place reads now: the resumed run reads it, and only the second is zeros.
    medium.setBadRanges({bad[1]});
    ImageEx rest(setup(medium.path(), file("live.ima"), end, stopped.position, live), inline_());
    const ImageOutcome resumed = rest.run();
    EXPECT_EQ(resumed.failure, QString());
    EXPECT_EQ(resumed.position, end);
    const QByteArray image = contentOf(file("live.ima"));
    EXPECT_TRUE(image == expectedImage(FaultyMedium::pattern(0, size), {bad[1]}));

    const MapFileContents done = readMapFile(mapPath);
    ASSERT_EQ(done.error, QString());
    EXPECT_TRUE(done.map.finished());
    EXPECT_EQ(done.map.unreadable.areas(), (std::vector<ByteRange>{{6 << 20, (6 << 20) + 512}}));
    // Every byte the map calls rescued holds the medium's byte.
    for (const RescueMap::Block& block : done.map.blocks()) {
        if (block.status != RescueMap::Status::Rescued)
            continue;
        EXPECT_TRUE(image.mid(block.range.start, block.range.length()) ==
                    FaultyMedium::pattern(block.range.start, block.range.length()))
            << block.range.start;
    }
    live->retire(false);
    EXPECT_FALSE(QFile::exists(mapPath));
}

TEST_F(ImageJobTest, AFullDiskEndsTheJobWithItsReasonAtTheLastWholeGroup) {
    test::TmpfsMount small(file("small"), 64 * 1024);
    if (!small.mounted())
        GTEST_SKIP() << small.error().toStdString();
    const QString medium = file("medium.img");
    writeFile(medium, FaultyMedium::pattern(0, 1 << 20));
    const QString image = file("small/medium.ima");
    ImageEx job(setup(medium, image, (1 << 20) / 512), inline_());
    const ImageOutcome outcome = job.run();
    EXPECT_TRUE(outcome.failure.startsWith(image + QStringLiteral(": ")))
        << outcome.failure.toStdString();
    EXPECT_EQ(outcome.position % 32, 0u);
    EXPECT_LT(outcome.position, (1u << 20) / 512);
    // Everything before the position is in the image: a resume elsewhere goes on from there.
    EXPECT_TRUE(contentOf(image).left(qint64(outcome.position) * 512) ==
                FaultyMedium::pattern(0, qint64(outcome.position) * 512));
}

TEST_F(ImageJobTest, ImageToMediumWritesWholeSectorsAndZerosForUnreadableSectors) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    // An image of 70 sectors and 100 bytes, one sector of it unreadable, onto a larger medium.
    const qint64 size = 70 * 512 + 100;
    const QList<ByteRange> bad = {{kGroup + 10, kGroup + 11}};
    FaultyMedium image(size, bad);
    const QString target = file("target.img");
    writeFile(target, QByteArray(100 * 512, '\xee'));

    ImageRaw job(setup(target, image.path(), 70), inline_());
    const ImageOutcome outcome = job.run();
    EXPECT_EQ(outcome.failure, QString());
    EXPECT_TRUE(outcome.readFailed);
    EXPECT_EQ(outcome.unwrittenSectors, 0u);
    EXPECT_EQ(outcome.position, 70u);
    const QByteArray written = contentOf(target);
    ASSERT_EQ(written.size(), 100 * 512);
    EXPECT_TRUE(written.left(70 * 512) == expectedImage(FaultyMedium::pattern(0, 70 * 512), bad));
    // The partial sector at the image's end is dropped: the medium keeps its own bytes there.
    EXPECT_TRUE(written.mid(70 * 512) == QByteArray(30 * 512, '\xee'));
}

TEST_F(ImageJobTest, RefusedWritesAreCountedBySectorAndTheJobGoesOn) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QString image = file("image.ima");
    writeFile(image, FaultyMedium::pattern(0, 200 * 512));
    const QString target = file("target.img");
    writeFile(target, QByteArray(200 * 512, '\0'));
    // Writes touching group 2 fail.
    FaultyMedium medium(target, {{2 * kGroup + 512, 2 * kGroup + 1024}});
    ImageRaw job(setup(medium.path(), image, 200), inline_());
    const ImageOutcome outcome = job.run();
    EXPECT_EQ(outcome.failure, QString());
    EXPECT_FALSE(outcome.readFailed);
    EXPECT_EQ(outcome.unwrittenSectors, 32u);
    EXPECT_EQ(outcome.position, 200u);
    medium.unmount();
    const QByteArray written = contentOf(target);
    EXPECT_TRUE(written.left(2 * kGroup) == FaultyMedium::pattern(0, 2 * kGroup));
    EXPECT_TRUE(written.mid(3 * kGroup) ==
                FaultyMedium::pattern(3 * kGroup, 200 * 512 - 3 * kGroup));
}

TEST_F(ImageJobTest, ADiscImageIsWrittenIntoItsBinAndADiscOfRawSectorsNotAtAll) {
    const QByteArray image = FaultyMedium::pattern(0, 64 * 2048);
    writeFile(file("new.iso"), image);
    // A data track of 2048-byte sectors: its sectors are the .bin's, never the sheet's text.
    const QByteArray sheet = "FILE \"cooked.bin\" BINARY\r\n  TRACK 01 MODE1/2048\r\n"
                             "    INDEX 01 00:00:00\r\n";
    writeFile(file("cooked.cue"), sheet);
    writeFile(file("cooked.bin"), QByteArray(64 * 2048, 'c'));
    ImageRaw cooked({file("cooked.cue"), file("new.iso"), 2048, 0, 64, signals_, platform, nullptr},
                    inline_());
    EXPECT_EQ(cooked.run().failure, QString());
    EXPECT_TRUE(contentOf(file("cooked.bin")) == image);
    EXPECT_TRUE(contentOf(file("cooked.cue")) == sheet);

    // A mixed-mode disc is read as a CD is: only read.
    const test::TestDisc mixed =
        test::TestDisc::mixedMode(folder.path(), QStringLiteral("mixed"), image, {75});
    const QByteArray bin = contentOf(mixed.binFile());
    ImageRaw raw({mixed.cueSheet(), file("new.iso"), 2048, 0, 64, signals_, platform, nullptr},
                 inline_());
    EXPECT_EQ(raw.run().failure, imageFailure(mixed.cueSheet(), EROFS));
    EXPECT_TRUE(contentOf(mixed.binFile()) == bin);
}

} // namespace
} // namespace fr
