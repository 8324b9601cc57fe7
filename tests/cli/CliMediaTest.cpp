// Image, medium test and register on the command line, on a floppy whose image file fails to
// read in one place and stands for drive E:, and on a mixed-mode disc.

#include "cli/CliProcess.h"
#include "core/LanguageTable.h"
#include "core/RescueMap.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/LoopMount.h"
#include "support/MediaImages.h"
#include "support/TempProgramDir.h"
#include "support/TestDisc.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::CliResult;
using test::FaultyMedium;
using test::runCli;

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(CliMediaTest, ImageTestAndRegisterOfADamagedFloppy) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    test::TempProgramDir dir;
    QTemporaryDir media;
    QTemporaryDir devices;
    test::DosDevices drives(dir.path());
    drives.setRoot('D', media.path());
    const QString floppy = devices.filePath("floppy.img");
    test::MediaImages::floppy(floppy, "RESCUE", 0x0badcafe, {{"notes.txt", "hello"}});
    // One byte of sector 600 cannot be read.
    FaultyMedium medium(floppy, {{600 * 512 + 10, 600 * 512 + 20}});
    drives.setDevice('E', medium.path());
    LanguageTable language;
    ASSERT_EQ(language.load(dir.file("lang/lang.eng")), QString());

    const CliResult imaged =
        runCli(dir.path(), {"image", "E:", "D:\\floppy.ima", "--map", media.filePath("image.map")});
    EXPECT_EQ(imaged.exitCode, 1) << imaged.err.toStdString();
    // Only the unreadable sector is zeros in the image.
    const ByteRange sector{600 * 512, 601 * 512};
    QByteArray expected = contentOf(medium.backingPath());
    expected.replace(sector.start, sector.length(), QByteArray(sector.length(), '\0'));
    EXPECT_TRUE(contentOf(media.filePath("floppy.ima")) == expected);
    const MapFileContents imageMap = readMapFile(media.filePath("image.map"));
    EXPECT_EQ(imageMap.map.unreadable.areas(), std::vector<ByteRange>{sector});
    EXPECT_EQ(imageMap.map.size, 1474560);

    const CliResult tested =
        runCli(dir.path(), {"test", medium.path(), "--map", media.filePath("test.map")});
    EXPECT_EQ(tested.exitCode, 1) << tested.err.toStdString();
    EXPECT_TRUE(tested.out.contains(language[255].arg(1).arg(512).arg(1474560)))
        << tested.out.toStdString();
    EXPECT_EQ(readMapFile(media.filePath("test.map")).map.unreadable.areas(),
              (std::vector<ByteRange>{{600 * 512, 601 * 512}}));

    EXPECT_EQ(runCli(dir.path(), {"register", "add", "E", "--note", "fell off a desk"}).exitCode,
              0);
    EXPECT_EQ(runCli(dir.path(), {"register"}).out,
              QStringLiteral("1. RESCUE(%1)  fell off a desk\n").arg(0x0badcafe));
    // A registered medium is tested or written only when the user says so.
    EXPECT_EQ(runCli(dir.path(), {"test", "E:"}).exitCode, 2);
    const CliResult restored = runCli(dir.path(), {"restore", "D:\\floppy.ima", "E:"});
    EXPECT_EQ(restored.exitCode, 2);
    EXPECT_TRUE(restored.err.contains(language[178])) << restored.err.toStdString();

    EXPECT_EQ(runCli(dir.path(), {"register", "remove", "1"}).exitCode, 0);
    EXPECT_TRUE(runCli(dir.path(), {"register"}).out.contains("empty"));
}

TEST(CliMediaTest, TheTestOfAMountedVolumeReadsToTheEndOfItsDevice) {
    QString why;
    if (!FaultyMedium::available(&why) || !test::LoopMount::available(&why))
        GTEST_SKIP() << why.toStdString();
    test::TempProgramDir dir;
    QTemporaryDir devices;
    test::DosDevices drives(dir.path());
    // 2,000 blocks of 2 KiB; the file system counts fewer, without its own overhead.
    const qint64 size = 2000 * 2048;
    const QString image = devices.filePath("volume.img");
    test::MediaImages::ext4(image, "DATA", "0123abcd-4567-89ab-cdef-0123456789ab", {}, size);
    FaultyMedium medium(image);
    ASSERT_TRUE(QDir(devices.path()).mkdir("mnt"));
    test::LoopMount mounted(medium.path(), devices.filePath("mnt"));
    ASSERT_TRUE(mounted.mounted()) << mounted.error().toStdString();
    drives.setRoot('F', devices.filePath("mnt"));
    drives.setDevice('F', medium.path());
    // Damage in the volume's last groups.
    const ByteRange damaged{size - 3 * 2048 - 100, size - 3 * 2048 - 90};
    medium.setBadRanges({damaged});

    const CliResult tested =
        runCli(dir.path(), {"test", "F:", "--map", devices.filePath("test.map")});
    EXPECT_EQ(tested.exitCode, 1) << tested.out.toStdString() << tested.err.toStdString();
    const MapFileContents map = readMapFile(devices.filePath("test.map"));
    EXPECT_EQ(map.map.size, size);
    ASSERT_EQ(map.map.unreadable.areas().size(), 1u);
    EXPECT_TRUE(map.map.unreadable.areas()[0].start <= damaged.start &&
                map.map.unreadable.areas()[0].end >= damaged.end);
}

TEST(CliMediaTest, AMixedModeDiscIsImagedAndTestedAsItsVolumeAndNeverWritten) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    test::TempProgramDir dir;
    QTemporaryDir media;
    QTemporaryDir made;
    QTemporaryDir disc;
    test::DosDevices drives(dir.path());
    drives.setRoot('D', media.path());
    test::MediaImages::iso9660(made.filePath("data.iso"), "MIXED",
                               {{"notes.txt", test::FaultyMedium::pattern(0, 300000)}});
    const QByteArray iso = contentOf(made.filePath("data.iso"));
    const test::TestDisc built = test::TestDisc::mixedMode(made.path(), "mixed", iso, {150});
    // One byte of the user data of the volume's sector 100 cannot be read from the .bin; the
    // drive is the cue sheet beside a link to the failing .bin.
    const qint64 badByte = 100 * 2048 + 500;
    const qint64 rawByte = 100 * 2352 + 16 + 500;
    FaultyMedium medium(built.binFile(), {{rawByte, rawByte + 1}});
    ASSERT_TRUE(QFile::link(medium.path(), disc.filePath("mixed.bin")));
    ASSERT_TRUE(QFile::copy(built.cueSheet(), disc.filePath("mixed.cue")));
    drives.setDevice('R', disc.filePath("mixed.cue"));
    const QByteArray bin = contentOf(built.binFile());
    const QByteArray cue = contentOf(disc.filePath("mixed.cue"));

    // The image is the volume: the ISO itself, the sector that holds the bad byte as zeros.
    const CliResult imaged =
        runCli(dir.path(), {"image", "R:", "D:\\mixed.iso", "--map", media.filePath("image.map")});
    EXPECT_EQ(imaged.exitCode, 1) << imaged.out.toStdString() << imaged.err.toStdString();
    const ByteRange zeroed{100 * 2048, 101 * 2048};
    QByteArray expected = iso;
    expected.replace(zeroed.start, zeroed.length(), QByteArray(zeroed.length(), '\0'));
    EXPECT_TRUE(contentOf(media.filePath("mixed.iso")) == expected);
    EXPECT_EQ(readMapFile(media.filePath("image.map")).map.unreadable.areas(),
              std::vector<ByteRange>{zeroed});

    // The medium test's groups are the volume's too.
    const CliResult tested =
        runCli(dir.path(), {"test", "R:", "--map", media.filePath("test.map")});
    EXPECT_EQ(tested.exitCode, 1) << tested.out.toStdString() << tested.err.toStdString();
    const MapFileContents map = readMapFile(media.filePath("test.map"));
    EXPECT_EQ(map.map.size, iso.size());
    ASSERT_EQ(map.map.unreadable.areas().size(), 1u);
    const ByteRange found = map.map.unreadable.areas()[0];
    EXPECT_TRUE(found.start <= badByte && found.end > badByte && found.length() <= 32 * 2048)
        << found.start << ' ' << found.end;

    // A CD is only read, even when the user says yes to everything; nor is its .bin an image
    // file to write.
    medium.setBadRanges({});
    const CliResult restored = runCli(dir.path(), {"-y", "restore", "D:\\mixed.iso", "R:"});
    EXPECT_EQ(restored.exitCode, 2) << restored.out.toStdString() << restored.err.toStdString();
    drives.setRoot('S', disc.path());
    EXPECT_EQ(runCli(dir.path(), {"-y", "image", "R:", "S:\\mixed.bin"}).exitCode, 2);
    EXPECT_TRUE(contentOf(disc.filePath("mixed.cue")) == cue);
    EXPECT_TRUE(contentOf(built.binFile()) == bin);
}

TEST(CliMediaTest, ADamagedMediumWithoutSerialIsNotOfferedForTheRegister) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    test::TempProgramDir dir;
    QTemporaryDir devices;
    test::DosDevices drives(dir.path());
    const QString floppy = devices.filePath("floppy.img");
    test::MediaImages::floppy(floppy, QString(), 0);
    FaultyMedium medium(floppy, {{600 * 512, 601 * 512}});
    drives.setDevice('E', medium.path());
    LanguageTable language;
    ASSERT_EQ(language.load(dir.file("lang/lang.eng")), QString());

    const CliResult tested = runCli(dir.path(), {"test", "E:"});
    EXPECT_EQ(tested.exitCode, 1);
    EXPECT_TRUE(tested.err.contains(language[265])) << tested.err.toStdString();
    EXPECT_FALSE(tested.err.contains("register add")) << tested.err.toStdString();
}

} // namespace
} // namespace fr
