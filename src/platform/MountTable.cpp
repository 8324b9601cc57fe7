#include "platform/MountTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace fr {

namespace {

// mountinfo writes blanks, tabs, new lines and backslashes in paths as octal escapes.
QString unescape(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += static_cast<char>(code);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return QFile::decodeName(out);
}

// The devices that make up a volume: the block device itself, or the loop devices attached
// to an image file.
std::vector<dev_t> devicesOf(const QString& deviceOrImage) {
    std::vector<dev_t> devices;
    struct stat info {};
    if (::stat(QFile::encodeName(deviceOrImage).constData(), &info) != 0)
        return devices;
    if (S_ISBLK(info.st_mode)) {
        devices.push_back(info.st_rdev);
        return devices;
    }
    if (!S_ISREG(info.st_mode))
        return devices;
    const QString image = QFileInfo(deviceOrImage).canonicalFilePath();
    const QDir blocks(QStringLiteral("/sys/block"));
    for (const QString& name :
         blocks.entryList({QStringLiteral("loop*")}, QDir::Dirs | QDir::System)) {
        QFile backing(blocks.filePath(name + QStringLiteral("/loop/backing_file")));
        if (!backing.open(QIODevice::ReadOnly))
            continue;
        if (QString::fromLocal8Bit(backing.readAll()).trimmed() != image)
            continue;
        QFile number(blocks.filePath(name + QStringLiteral("/dev")));
        if (!number.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> parts = number.readAll().trimmed().split(':');
        if (parts.size() == 2)
            devices.push_back(makedev(parts[0].toUInt(), parts[1].toUInt()));
    }
    return devices;
}

std::vector<MountEntry> mountsOf(const QString& deviceOrImage) {
    const std::vector<dev_t> devices = devicesOf(deviceOrImage);
    std::vector<MountEntry> mounts;
    for (const MountEntry& entry : readMountTable())
        if (std::find(devices.begin(), devices.end(), entry.device) != devices.end())
            mounts.push_back(entry);
    return mounts;
}

} // namespace

std::vector<MountEntry> parseMountInfo(const QByteArray& content) {
    std::vector<MountEntry> entries;
    for (const QByteArray& line : content.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id parent major:minor root mount-point options [optional...] - type source super
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 10 || separator < 6 || separator + 2 >= fields.size())
            continue;
        const QList<QByteArray> numbers = fields[2].split(':');
        if (numbers.size() != 2)
            continue;
        MountEntry entry;
        entry.device = makedev(numbers[0].toUInt(), numbers[1].toUInt());
        entry.mountPoint = unescape(fields[4]);
        entry.fileSystem = unescape(fields[separator + 1]);
        entry.source = unescape(fields[separator + 2]);
        entries.push_back(entry);
    }
    return entries;
}

std::vector<MountEntry> readMountTable() {
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseMountInfo(file.readAll());
}

namespace VolumeMounts {

std::vector<QString> mountPointsOf(const QString& deviceOrImage) {
    std::vector<QString> points;
    for (const MountEntry& entry : mountsOf(deviceOrImage))
        points.push_back(entry.mountPoint);
    // Deepest first, so that nested mounts come off before the ones they sit on.
    std::stable_sort(points.begin(), points.end(), [](const QString& a, const QString& b) {
        return a.count('/') > b.count('/');
    });
    return points;
}

bool isMounted(const QString& deviceOrImage) {
    return !mountsOf(deviceOrImage).empty();
}

bool holdsRootFileSystem(const QString& deviceOrImage) {
    struct stat root {};
    if (::stat("/", &root) != 0)
        return true; // cannot tell: treat it as the root, which is never written
    const std::vector<dev_t> devices = devicesOf(deviceOrImage);
    return std::find(devices.begin(), devices.end(), root.st_dev) != devices.end();
}

bool unmount(const QString& deviceOrImage, QString* error) {
    if (holdsRootFileSystem(deviceOrImage)) {
        if (error)
            *error = deviceOrImage + QStringLiteral(": holds the root file system");
        return false;
    }
    for (const QString& point : mountPointsOf(deviceOrImage)) {
        if (::umount2(QFile::encodeName(point).constData(), 0) != 0) {
            if (error)
                *error =
                    point + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
    }
    return true;
}

} // namespace VolumeMounts

} // namespace fr
