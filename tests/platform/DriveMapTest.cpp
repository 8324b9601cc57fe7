#include "platform/DriveMap.h"

#include "platform/MountTable.h"
#include "support/FileBytes.h"
#include "support/LoopDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>

namespace fr {
namespace {

class DriveMapTest : public testing::Test {
protected:
    QTemporaryDir program;
    QString dosdevices = program.path() + QStringLiteral("/dosdevices");

    void SetUp() override { QDir().mkpath(dosdevices); }

    QString folder(const QString& name) {
        const QString path = program.path() + '/' + name;
        QDir().mkpath(path);
        return path;
    }
    QString image(const QString& name, qint64 size) {
        const QString path = program.path() + '/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.resize(size);
        return path;
    }
    void link(const QString& name, const QString& target) {
        ASSERT_TRUE(QFile::link(target, dosdevices + '/' + name)) << name.toStdString();
    }
};

TEST_F(DriveMapTest, DosDevicesNameRootsAndDevicesAndOverrideTheMachine) {
    const QString stick = folder(QStringLiteral("stick"));
    link(QStringLiteral("e:"), stick);
    link(QStringLiteral("e::"), image(QStringLiteral("stick.img"), 1 << 20));
    link(QStringLiteral("r::"), image(QStringLiteral("disc.iso"), 1 << 20));
    link(QStringLiteral("a::"), image(QStringLiteral("floppy.ima"), 1474560));
    link(QStringLiteral("c:"), folder(QStringLiteral("system")));

    const DriveMap map = DriveMap::build(program.path());
    ASSERT_NE(map.drive('E'), nullptr);
    EXPECT_EQ(map.drive('e')->root, stick);
    EXPECT_EQ(map.drive('E')->device, program.path() + QStringLiteral("/stick.img"));
    EXPECT_EQ(map.drive('E')->type, DriveType::Fixed);
    EXPECT_EQ(map.drive('R')->type, DriveType::CdRom);
    EXPECT_TRUE(map.drive('R')->root.isEmpty()) << "an image that is not mounted has no files";
    EXPECT_EQ(map.drive('A')->type, DriveType::Removable);
    EXPECT_EQ(map.drive('C')->root, program.path() + QStringLiteral("/system"));

    // The machine's own volumes take letters that dosdevices left free, in letter order.
    char previous = 0;
    for (const Drive& drive : map.drives()) {
        EXPECT_GT(drive.letter, previous);
        previous = drive.letter;
    }
}

TEST_F(DriveMapTest, WithoutDosDevicesCIsTheRootFolder) {
    const DriveMap map = DriveMap::build(program.path());
    ASSERT_NE(map.drive('C'), nullptr);
    EXPECT_EQ(map.drive('C')->root, QStringLiteral("/"));
    EXPECT_EQ(map.drive('C')->type, DriveType::Fixed);
}

TEST_F(DriveMapTest, PathsConvertBothWaysAndTheLongestRootWins) {
    const QString d = folder(QStringLiteral("d"));
    const QString inner = folder(QStringLiteral("d/Inner Mount"));
    link(QStringLiteral("d:"), d);
    link(QStringLiteral("f:"), inner);
    const DriveMap map = DriveMap::build(program.path());

    EXPECT_EQ(map.toNative(QStringLiteral("D:\\Photos\\Trip.JPG")),
              d + QStringLiteral("/Photos/Trip.JPG"));
    EXPECT_EQ(map.toNative(QStringLiteral("d:\\")), d);
    EXPECT_EQ(map.toNative(QStringLiteral("C:\\etc\\hosts")), QStringLiteral("/etc/hosts"));
    EXPECT_EQ(map.toNative(QStringLiteral("Q:\\nothing")), QString()) << "no such drive";
    EXPECT_EQ(map.toNative(QStringLiteral("relative\\name")), QString());

    EXPECT_EQ(map.toDriveForm(d + QStringLiteral("/Photos/Trip.JPG")),
              QStringLiteral("D:\\Photos\\Trip.JPG"));
    EXPECT_EQ(map.toDriveForm(inner + QStringLiteral("/a.txt")), QStringLiteral("F:\\a.txt"));
    EXPECT_EQ(map.toDriveForm(inner), QStringLiteral("F:\\"));
    EXPECT_EQ(map.toDriveForm(d + QStringLiteral("2/x")),
              QStringLiteral("C:\\") + QString(d + QStringLiteral("2/x")).mid(1).replace('/', '\\'))
        << "a folder whose name only starts like a root is not inside it";
    EXPECT_EQ(map.toDriveForm(QStringLiteral("/etc/hosts")), QStringLiteral("C:\\etc\\hosts"));
}

// The kernel's description of a stick as the drive map reads it: /sys/block/<name> with its
// removable flag and size in 512-byte units, over a real device node of that name.
TEST_F(DriveMapTest, ARemovableMediumWithoutAMountedVolumeGetsTheNextFreeLetter) {
    QString why;
    if (!test::LoopDevice::available(&why))
        GTEST_SKIP() << why.toStdString();
    const test::LoopDevice stick(image(QStringLiteral("stick.img"), 1 << 20));
    const QString name = QFileInfo(stick.path()).fileName();
    const QString sysfs = folder(QStringLiteral("sys"));
    const QString disk = folder(QStringLiteral("sys/block/") + name);
    const auto describe = [&disk](const char* removable, const char* sectors) {
        test::writeFile(disk + QStringLiteral("/removable"), QByteArray(removable) + '\n');
        test::writeFile(disk + QStringLiteral("/size"), QByteArray(sectors) + '\n');
    };
    const auto listed = [&] {
        std::vector<Drive> found;
        const DriveMap map = DriveMap::build(program.path(), sysfs);
        for (const Drive& drive : map.drives())
            if (drive.device == stick.path())
                found.push_back(drive);
        return std::pair{found, map};
    };

    describe("1", "2048");
    const auto [found, map] = listed();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].root.isEmpty()) << "no volume, no files";
    EXPECT_EQ(found[0].type, DriveType::Removable);
    EXPECT_EQ(found[0].letter, map.drives().back().letter) << "after every mounted volume";
    EXPECT_GE(found[0].letter, 'D');

    describe("0", "2048");
    EXPECT_TRUE(listed().first.empty()) << "a fixed disk without a volume is no drive";
    describe("1", "0");
    EXPECT_TRUE(listed().first.empty()) << "a card reader without a card has nothing to read";
    // A medium dosdevices names keeps that drive alone.
    describe("1", "2048");
    link(QStringLiteral("k::"), stick.path());
    ASSERT_EQ(listed().first.size(), 1u);
    EXPECT_EQ(listed().first[0].letter, 'K');
}

TEST(FileMasks, FollowTheWindowsWildcardRules) {
    EXPECT_TRUE(matchesMask(QStringLiteral("README"), QStringLiteral("*.*")));
    EXPECT_TRUE(matchesMask(QStringLiteral("a.b.c"), QStringLiteral("*.*")));
    EXPECT_TRUE(matchesMask(QStringLiteral("Photo.JPG"), QStringLiteral("*.jpg")));
    EXPECT_FALSE(matchesMask(QStringLiteral("photo.jpeg"), QStringLiteral("*.jpg")));
    EXPECT_TRUE(matchesMask(QStringLiteral("track07.mp3"), QStringLiteral("track??.mp3")));
    EXPECT_FALSE(matchesMask(QStringLiteral("track7.mp3"), QStringLiteral("track??.mp3")));
    EXPECT_TRUE(matchesMask(QStringLiteral("a+b(1).txt"), QStringLiteral("a+b(?).*")));
    EXPECT_TRUE(matchesMask(QStringLiteral("Makefile"), QStringLiteral("*.")));
    EXPECT_FALSE(matchesMask(QStringLiteral("main.c"), QStringLiteral("*.")));
}

TEST(FileAttributes, HiddenNamesAndReadOnlyFiles) {
    EXPECT_TRUE(isHiddenName(QStringLiteral(".cache")));
    EXPECT_FALSE(isHiddenName(QStringLiteral("cache.")));
    EXPECT_FALSE(isHiddenName(QStringLiteral("..")));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(isReadOnly(path));
    QFile::setPermissions(path, QFile::ReadOwner);
    EXPECT_TRUE(isReadOnly(path));
}

TEST(MountTable, ParsesMountInfoWithEscapedPaths) {
    const QByteArray info = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                            "40 22 8:17 / /media/USB\\040STICK rw,nosuid shared:30 master:2 - vfat "
                            "/dev/sdb1 rw,fmask=0022\n"
                            "41 22 0:45 / /proc rw - proc proc rw\n"
                            "broken line\n";
    const std::vector<MountEntry> entries = parseMountInfo(info);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].mountPoint, QStringLiteral("/media/USB STICK"));
    EXPECT_EQ(entries[1].source, QStringLiteral("/dev/sdb1"));
    EXPECT_EQ(entries[1].fileSystem, QStringLiteral("vfat"));
    EXPECT_EQ(entries[1].device, makedev(8, 17));
}

} // namespace
} // namespace fr
