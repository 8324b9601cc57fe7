#include "platform/MountTable.h"

#include "platform/DeviceUsage.h"

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

// Whether a mount lives on one of the devices. Most file systems report their block device's
// number; some (btrfs) report a number of their own, so the source device counts too.
bool onDevices(const MountEntry& entry, const std::vector<dev_t>& devices) {
    if (std::find(devices.begin(), devices.end(), entry.device) != devices.end())
        return true;
    struct stat source {};
    return entry.source.startsWith('/') &&
           ::stat(QFile::encodeName(entry.source).constData(), &source) == 0 &&
           S_ISBLK(source.st_mode) &&
           std::find(devices.begin(), devices.end(), source.st_rdev) != devices.end();
}

std::vector<MountEntry> mountsOn(const std::vector<dev_t>& devices) {
    std::vector<MountEntry> mounts;
    if (devices.empty())
        return mounts;
    for (const MountEntry& entry : readMountTable())
        if (onDevices(entry, devices))
            mounts.push_back(entry);
    return mounts;
}

std::vector<MountEntry> mountsOf(const QString& deviceOrImage) {
    return mountsOn(DeviceUsage::overlapping(deviceOrImage));
}

bool rootAmong(const std::vector<dev_t>& devices) {
    struct stat root {};
    if (::stat("/", &root) != 0)
        return true; // cannot tell: treat it as the root, which is never written
    if (std::find(devices.begin(), devices.end(), root.st_dev) != devices.end())
        return true;
    for (const MountEntry& entry : mountsOn(devices))
        if (entry.mountPoint == QLatin1String("/"))
            return true;
    return false;
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
    return rootAmong(DeviceUsage::overlapping(deviceOrImage));
}

bool holdsPath(const QString& deviceOrImage, const QString& path) {
    const std::vector<dev_t> devices = DeviceUsage::overlapping(deviceOrImage);
    const QString canonical = QFileInfo(path).canonicalFilePath();
    struct stat file {};
    if (devices.empty() || canonical.isEmpty() ||
        ::stat(QFile::encodeName(canonical).constData(), &file) != 0)
        return false;
    if (std::find(devices.begin(), devices.end(), file.st_dev) != devices.end())
        return true;
    // A file system that numbers itself (btrfs) is found through the mount the path is under:
    // the deepest one, the last mounted of equal depth.
    const MountEntry* holder = nullptr;
    const std::vector<MountEntry> mounts = readMountTable();
    for (const MountEntry& entry : mounts) {
        const bool under = entry.mountPoint == QLatin1String("/") ||
                           canonical == entry.mountPoint ||
                           canonical.startsWith(entry.mountPoint + QLatin1Char('/'));
        if (under && (!holder || entry.mountPoint.size() >= holder->mountPoint.size()))
            holder = &entry;
    }
    return holder && onDevices(*holder, devices);
}

bool inUse(const QString& deviceOrImage, QString* reason) {
    const std::vector<dev_t> devices = DeviceUsage::overlapping(deviceOrImage);
    QStringList uses;
    if (rootAmong(devices))
        uses << QStringLiteral("holds the root file system");
    for (const MountEntry& entry : mountsOn(devices))
        uses << entry.source + QStringLiteral(" is mounted at ") + entry.mountPoint;
    uses << DeviceUsage::held(devices) << DeviceUsage::swapping(devices);
    if (reason && !uses.isEmpty())
        *reason = deviceOrImage + QStringLiteral(": ") + uses.join(QStringLiteral("; "));
    return !uses.isEmpty();
}

bool unmount(const QString& deviceOrImage, QString* error) {
    const std::vector<dev_t> devices = DeviceUsage::overlapping(deviceOrImage);
    if (rootAmong(devices)) {
        if (error)
            *error = deviceOrImage + QStringLiteral(": holds the root file system");
        return false;
    }
    // Taking mounts away frees nothing that another device is built on or that holds swap.
    if (const QStringList uses = DeviceUsage::held(devices) + DeviceUsage::swapping(devices);
        !uses.isEmpty()) {
        if (error)
            *error = deviceOrImage + QStringLiteral(": ") + uses.join(QStringLiteral("; "));
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
