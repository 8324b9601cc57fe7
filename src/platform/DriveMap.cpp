#include "platform/DriveMap.h"

#include "platform/FileName.h"
#include "platform/MountTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fr {

namespace {

bool isBlockDevice(const QString& path, dev_t* number = nullptr) {
    struct stat info {};
    if (::stat(fileNameBytes(path).constData(), &info) != 0 || !S_ISBLK(info.st_mode))
        return false;
    if (number)
        *number = info.st_rdev;
    return true;
}

QString readSysfs(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).trimmed();
}

// A partition's removable flag and bus live on its whole disk.
bool isRemovableBlockDevice(dev_t number) {
    const QString link =
        QStringLiteral("/sys/dev/block/%1:%2").arg(major(number)).arg(minor(number));
    QString path = QFileInfo(link).canonicalFilePath();
    if (path.isEmpty())
        return false;
    if (path.contains(QLatin1String("/usb")))
        return true;
    if (QFile::exists(path + QStringLiteral("/partition")))
        path = QFileInfo(path).path();
    return readSysfs(path + QStringLiteral("/removable")) == QLatin1String("1");
}

QString cleanRoot(const QString& root) {
    return absoluteFileName(root);
}

// The folder a device is mounted on, the shortest one when it is mounted several times.
QString mountPointOf(dev_t number, const std::vector<MountEntry>& mounts) {
    QString best;
    for (const MountEntry& entry : mounts)
        if (entry.device == number && QFileInfo(entry.mountPoint).isDir() &&
            (best.isEmpty() || entry.mountPoint.size() < best.size()))
            best = entry.mountPoint;
    return best;
}

QString deviceMountedAt(const QString& root, const std::vector<MountEntry>& mounts) {
    const QString canonical = QFileInfo(root).canonicalFilePath();
    for (auto entry = mounts.rbegin(); entry != mounts.rend(); ++entry)
        if (entry->mountPoint == canonical && isBlockDevice(entry->source))
            return entry->source;
    return {};
}

// Letters described in a dosdevices folder: "x:" links to roots, "x::" links to devices.
struct DosDeviceLinks {
    QString roots[26];
    QString devices[26];
    bool any(int i) const { return !roots[i].isEmpty() || !devices[i].isEmpty(); }
};

DosDeviceLinks readDosDevices(const QString& dir) {
    DosDeviceLinks links;
    const QDir folder(dir);
    for (const QFileInfo& entry :
         folder.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString name = entry.fileName().toLower();
        if (name.size() < 2 || name[0] < 'a' || name[0] > 'z' || name[1] != ':')
            continue;
        const int index = name[0].unicode() - 'a';
        const QString target = entry.isSymLink() ? entry.symLinkTarget() : entry.absoluteFilePath();
        if (name.size() == 2)
            links.roots[index] = target;
        else if (name == name.left(2) + ':')
            links.devices[index] = target;
    }
    return links;
}

// The removable disks whose medium shows no volume here: neither the disk nor any of its
// partitions is mounted or already a drive. An unformatted or unreadable stick is exactly what
// a rescue meets, so it gets a drive of its own, the whole disk as its device. A reader without
// a medium (size 0) has nothing to read; optical and floppy drives have their own letters.
std::vector<QString> unmountedRemovableMedia(const QString& sysfsRoot,
                                             const std::set<dev_t>& seen) {
    std::vector<QString> devices;
    const QDir block(sysfsRoot + QStringLiteral("/block"));
    for (const QString& name : block.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (name.startsWith(QLatin1String("sr")) || name.startsWith(QLatin1String("fd")))
            continue;
        const QString disk = block.filePath(name);
        const bool removable =
            readSysfs(disk + QStringLiteral("/removable")) == QLatin1String("1") ||
            QFileInfo(disk).canonicalFilePath().contains(QLatin1String("/usb"));
        if (!removable || readSysfs(disk + QStringLiteral("/size")).toULongLong() == 0)
            continue;
        const QString device = QStringLiteral("/dev/") + name;
        dev_t number = 0;
        if (!isBlockDevice(device, &number) || seen.count(number))
            continue;
        bool volumeShown = false;
        for (const QString& part : QDir(disk).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            dev_t partNumber = 0;
            if (QFile::exists(disk + '/' + part + QStringLiteral("/partition")) &&
                isBlockDevice(QStringLiteral("/dev/") + part, &partNumber) &&
                seen.count(partNumber))
                volumeShown = true;
        }
        if (!volumeShown)
            devices.push_back(device);
    }
    return devices;
}

} // namespace

DriveType driveTypeOfDevice(const QString& device) {
    if (device.isEmpty())
        return DriveType::Fixed;
    const QString name = QFileInfo(device).fileName();
    dev_t number = 0;
    if (isBlockDevice(device, &number)) {
        if (name.startsWith(QLatin1String("sr")) || major(number) == 11)
            return DriveType::CdRom;
        if (name.startsWith(QLatin1String("fd")) || isRemovableBlockDevice(number))
            return DriveType::Removable;
        return DriveType::Fixed;
    }
    const QString suffix = QFileInfo(device).suffix().toLower();
    if (suffix == QLatin1String("iso") || suffix == QLatin1String("cue"))
        return DriveType::CdRom;
    if (suffix == QLatin1String("ima"))
        return DriveType::Removable;
    return DriveType::Fixed;
}

void DriveMap::add(Drive drive) {
    drive.root = cleanRoot(drive.root);
    drives_.push_back(std::move(drive));
}

void DriveMap::sort() {
    std::sort(drives_.begin(), drives_.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
}

DriveMap DriveMap::fromDosDevices(const QString& dosDevicesDir) {
    DriveMap map;
    const DosDeviceLinks links = readDosDevices(dosDevicesDir);
    const std::vector<MountEntry> mounts = readMountTable();
    for (int i = 0; i < 26; ++i) {
        if (!links.any(i))
            continue;
        Drive drive;
        drive.letter = static_cast<char>('A' + i);
        drive.root = links.roots[i];
        drive.device = links.devices[i];
        dev_t number = 0;
        if (drive.device.isEmpty() && !drive.root.isEmpty())
            drive.device = deviceMountedAt(drive.root, mounts);
        else if (drive.root.isEmpty() && isBlockDevice(drive.device, &number))
            drive.root = mountPointOf(number, mounts);
        drive.type = driveTypeOfDevice(drive.device);
        map.add(drive);
    }
    map.sort();
    return map;
}

DriveMap DriveMap::build(const QString& programDir, const QString& sysfsRoot) {
    DriveMap map = fromDosDevices(programDir + QStringLiteral("/dosdevices"));
    const auto taken = [&map](char letter) {
        return map.drive(QChar(letter)) != nullptr;
    };

    const std::vector<MountEntry> mounts = readMountTable();
    struct stat rootInfo {};
    const bool rootKnown = ::stat("/", &rootInfo) == 0;

    if (!taken('C')) {
        Drive c;
        c.letter = 'C';
        c.root = QStringLiteral("/");
        c.device = deviceMountedAt(QStringLiteral("/"), mounts);
        c.type = DriveType::Fixed;
        map.add(c);
    }
    for (const char letter : {'A', 'B'}) {
        const QString floppy = QStringLiteral("/dev/fd%1").arg(letter - 'A');
        if (!taken(letter) && isBlockDevice(floppy)) {
            dev_t number = 0;
            isBlockDevice(floppy, &number);
            map.add({letter, mountPointOf(number, mounts), floppy, DriveType::Removable});
        }
    }

    // Every other volume once: mounted block devices (not the root's, not the ones already
    // named in dosdevices) and the optical drives, mounted or not.
    std::set<dev_t> seen;
    if (rootKnown)
        seen.insert(rootInfo.st_dev);
    for (const Drive& drive : map.drives_) {
        dev_t number = 0;
        if (isBlockDevice(drive.device, &number))
            seen.insert(number);
    }
    std::vector<std::pair<QString, dev_t>> volumes;
    for (const MountEntry& entry : mounts) {
        dev_t number = 0;
        if (!isBlockDevice(entry.source, &number) || seen.count(number) ||
            entry.mountPoint.startsWith(QLatin1String("/snap/")) ||
            !QFileInfo(entry.mountPoint).isDir())
            continue;
        seen.insert(number);
        volumes.emplace_back(entry.source, number);
    }
    for (const QString& name :
         QDir(QStringLiteral("/dev")).entryList({QStringLiteral("sr*")}, QDir::System)) {
        dev_t number = 0;
        const QString device = QStringLiteral("/dev/") + name;
        if (isBlockDevice(device, &number) && !seen.count(number)) {
            seen.insert(number);
            volumes.emplace_back(device, number);
        }
    }
    std::sort(volumes.begin(), volumes.end());

    char letter = 'D';
    for (const auto& [device, number] : volumes) {
        while (letter <= 'Z' && taken(letter))
            ++letter;
        if (letter > 'Z')
            break;
        map.add({letter, mountPointOf(number, mounts), device, driveTypeOfDevice(device)});
        ++letter;
    }
    // After every volume, so that a stick plugged in moves no other drive's letter.
    for (const QString& device : unmountedRemovableMedia(sysfsRoot, seen)) {
        while (letter <= 'Z' && taken(letter))
            ++letter;
        if (letter > 'Z')
            break;
        map.add({letter, QString(), device, DriveType::Removable});
        ++letter;
    }
    map.sort();
    return map;
}

const Drive* DriveMap::drive(QChar letter) const {
    const char upper = static_cast<char>(letter.toUpper().unicode());
    for (const Drive& drive : drives_)
        if (drive.letter == upper)
            return &drive;
    return nullptr;
}

QString DriveMap::toNative(const QString& drivePath) const {
    if (drivePath.startsWith('/'))
        return drivePath;
    if (drivePath.size() < 2 || drivePath[1] != ':')
        return {};
    const Drive* target = drive(drivePath[0]);
    if (!target || target->root.isEmpty())
        return {};
    QString rest = drivePath.mid(2);
    rest.replace('\\', '/');
    while (rest.startsWith('/'))
        rest.remove(0, 1);
    if (rest.isEmpty())
        return target->root;
    return target->root == QLatin1String("/") ? '/' + rest : target->root + '/' + rest;
}

const Drive* DriveMap::driveHolding(const QString& nativePath) const {
    const QString path = absoluteFileName(nativePath);
    const Drive* best = nullptr;
    for (const Drive& drive : drives_) {
        if (drive.root.isEmpty())
            continue;
        const bool inside = drive.root == QLatin1String("/") || path == drive.root ||
                            path.startsWith(drive.root + '/');
        if (inside && (!best || drive.root.size() > best->root.size()))
            best = &drive;
    }
    return best;
}

QString DriveMap::toDriveForm(const QString& nativePath) const {
    const Drive* best = driveHolding(nativePath);
    if (!best)
        return {};
    const QString path = absoluteFileName(nativePath);
    QString rest = best->root == QLatin1String("/") ? path.mid(1) : path.mid(best->root.size() + 1);
    // A backslash is a character of a name here, but a separator in drive form: written there,
    // the name would come back as another file.
    if (rest.contains('\\'))
        return {};
    rest.replace('/', '\\');
    return QChar(best->letter) + QStringLiteral(":\\") + rest;
}

QChar DriveMap::letterOf(const QString& name) const {
    if (!name.startsWith('/'))
        return name.isEmpty() ? QChar() : name[0].toUpper();
    const Drive* holding = driveHolding(name);
    return holding ? QChar(holding->letter) : QChar();
}

bool matchesMask(const QString& name, const QString& mask) {
    if (mask == QLatin1String("*.*") || mask == QLatin1String("*"))
        return true;
    QString pattern;
    for (const QChar c : mask) {
        if (c == '*')
            pattern += QStringLiteral(".*");
        else if (c == '?')
            pattern += '.';
        else
            pattern += QRegularExpression::escape(QString(c));
    }
    // "name." means a name without an extension, as the old masks have it.
    if (mask.endsWith('.') && !name.contains('.'))
        return matchesMask(name + '.', mask);
    const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern),
                                        QRegularExpression::CaseInsensitiveOption);
    return expression.match(fileNameAsText(name)).hasMatch();
}

bool isHiddenName(const QString& name) {
    return name.startsWith('.') && name != QLatin1String(".") && name != QLatin1String("..");
}

bool isReadOnly(const QString& path) {
    struct stat info {};
    return ::stat(fileNameBytes(path).constData(), &info) == 0 && !(info.st_mode & S_IWUSR);
}

} // namespace fr
