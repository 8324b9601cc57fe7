// Formatting a drive: the system's formatters on image files and loop devices, the full
// format's sector check on a medium that fails, and the volumes that must never be formatted.

#include "disk/Formatter.h"

#include "disk/MediaIdentity.h"
#include "platform/MountTable.h"
#include "support/FaultyMedium.h"
#include "support/LoopMount.h"
#include "support/MediaImages.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fr {
namespace {

class FormatterTest : public testing::Test {
protected:
    QTemporaryDir folder;

    QString blankImage(const QString& name, qint64 size) const {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(file.resize(size));
        return path;
    }

    static QByteArray hashOf(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
    }

    static FormatOutcome format(const QString& device, FileSystemKind kind, const QString& label,
                                bool full) {
        std::atomic<bool> stop{false};
        return Formatter::format({device, kind, label, full, {}}, {}, stop);
    }
};

TEST_F(FormatterTest, EachFileSystemIsWrittenWithTheChosenLabel) {
    const std::vector<FileSystemKind> kinds = Formatter::available();
    ASSERT_GE(kinds.size(), 2u) << "mkfs.vfat and mkfs.ext4 are installed by scripts/setup";
    for (FileSystemKind kind : kinds) {
        SCOPED_TRACE(Formatter::nameOf(kind).toStdString());
        const QString image = blankImage(Formatter::nameOf(kind) + ".img", 16 << 20);
        const FormatOutcome outcome = format(image, kind, QStringLiteral("RESCUED"), false);
        ASSERT_EQ(outcome.result, FormatOutcome::Result::Formatted) << outcome.reason.toStdString();
        const TMediaIdentifier identity = MediaIdentity::identify(image);
        EXPECT_EQ(identity.VolumeLabel, QStringLiteral("RESCUED"));
        EXPECT_NE(identity.SerialNumber, 0u);
    }
}

TEST_F(FormatterTest, AnOpticalDiscImageIsNeverWritten) {
    const QString image = folder.filePath(QStringLiteral("disc.iso"));
    test::MediaImages::iso9660(image, QStringLiteral("DISC"), {});
    const QByteArray before = hashOf(image);
    const FormatOutcome outcome = format(image, FileSystemKind::Fat, QString(), false);
    EXPECT_EQ(outcome.result, FormatOutcome::Result::Failed);
    EXPECT_TRUE(outcome.reason.contains(image)) << outcome.reason.toStdString();
    EXPECT_EQ(hashOf(image), before);
}

TEST_F(FormatterTest, AMediumWithUnreadableSectorsIsLeftAsItWas) {
    QString why;
    if (!test::FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QString image = blankImage(QStringLiteral("failing.img"), 4 << 20);
    QFile fill(image);
    ASSERT_TRUE(fill.open(QIODevice::ReadWrite));
    ASSERT_EQ(fill.write(QByteArray(4 << 20, 'k')), 4 << 20);
    fill.close();
    const QByteArray before = hashOf(image);
    // Two sectors of one area and one far away.
    test::FaultyMedium medium(image, {{65536, 66560}, {3 << 20, (3 << 20) + 512}});

    const FormatOutcome full = format(medium.path(), FileSystemKind::Fat, QString(), true);
    EXPECT_EQ(full.result, FormatOutcome::Result::Unreadable);
    EXPECT_EQ(full.unreadableSectors, 3u);
    EXPECT_TRUE(full.reason.contains(medium.path())) << full.reason.toStdString();
    EXPECT_EQ(hashOf(medium.backingPath()), before) << "nothing was written";
}

TEST_F(FormatterTest, AMountedVolumeIsUnmountedFirst) {
    QString why;
    if (!test::LoopMount::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QString image = blankImage(QStringLiteral("mounted.img"), 8 << 20);
    ASSERT_EQ(format(image, FileSystemKind::Ext4, QStringLiteral("old"), false).result,
              FormatOutcome::Result::Formatted);
    const QString mountPoint = folder.filePath(QStringLiteral("mnt"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    test::LoopMount mount(image, mountPoint);
    ASSERT_TRUE(mount.mounted()) << mount.error().toStdString();
    ASSERT_TRUE(VolumeMounts::isMounted(image));

    const FormatOutcome outcome = format(image, FileSystemKind::Fat, QStringLiteral("NEW"), false);
    ASSERT_EQ(outcome.result, FormatOutcome::Result::Formatted) << outcome.reason.toStdString();
    EXPECT_FALSE(VolumeMounts::isMounted(image));
    EXPECT_EQ(MediaIdentity::identify(image).VolumeLabel, QStringLiteral("NEW"));
}

TEST_F(FormatterTest, TheRootFileSystemIsNeverFormatted) {
    QString root;
    for (const MountEntry& entry : readMountTable())
        if (entry.mountPoint == QLatin1String("/"))
            root = entry.source;
    if (!root.startsWith(QLatin1String("/dev/")))
        GTEST_SKIP() << "/ is not mounted from a block device here";
    const FormatOutcome outcome = format(root, FileSystemKind::Fat, QString(), false);
    EXPECT_EQ(outcome.result, FormatOutcome::Result::Refused);
    EXPECT_TRUE(outcome.reason.contains(QLatin1String("root file system")))
        << outcome.reason.toStdString();
}

} // namespace
} // namespace fr
