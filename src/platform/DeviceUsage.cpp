#include "platform/DeviceUsage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace fr::DeviceUsage {

namespace {

const QString kBlocks = QStringLiteral("/sys/class/block/");

QByteArray readAttribute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().trimmed();
}

std::optional<struct stat> statOf(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return info;
}

// The kernel's name of a block device ("sdb1", "loop3"); empty when sysfs does not know it.
QString nameOf(dev_t device) {
    const QString link =
        QStringLiteral("/sys/dev/block/%1:%2").arg(major(device)).arg(minor(device));
    const QString target = QFileInfo(link).canonicalFilePath();
    return target.isEmpty() ? QString() : QFileInfo(target).fileName();
}

std::optional<dev_t> numberOf(const QString& name) {
    const QList<QByteArray> parts =
        readAttribute(kBlocks + name + QStringLiteral("/dev")).split(':');
    bool majorOk = false, minorOk = false;
    if (parts.size() != 2)
        return std::nullopt;
    const unsigned majorNumber = parts[0].toUInt(&majorOk);
    const unsigned minorNumber = parts[1].toUInt(&minorOk);
    if (!majorOk || !minorOk)
        return std::nullopt;
    return makedev(majorNumber, minorNumber);
}

bool isPartition(const QString& name) {
    return QFileInfo::exists(kBlocks + name + QStringLiteral("/partition"));
}

QStringList partitionsOf(const QString& name) {
    QStringList partitions;
    const QDir device(kBlocks + name);
    for (const QString& entry : device.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (QFileInfo::exists(device.filePath(entry + QStringLiteral("/partition"))))
            partitions << entry;
    return partitions;
}

// A partition's folder lies inside its disk's folder.
QString diskOf(const QString& partition) {
    const QString folder = QFileInfo(kBlocks + partition).canonicalFilePath();
    return folder.isEmpty() ? QString() : QFileInfo(QFileInfo(folder).path()).fileName();
}

// An attached loop device and the file (or device) it reads through.
struct Loop {
    QString name;
    struct stat backing;
};

std::vector<Loop> attachedLoops() {
    std::vector<Loop> loops;
    const QDir blocks(kBlocks);
    for (const QString& name : blocks.entryList({QStringLiteral("loop*")}, QDir::AllEntries)) {
        const QString path = QString::fromLocal8Bit(
            readAttribute(blocks.filePath(name + QStringLiteral("/loop/backing_file"))));
        // A backing file deleted since has no name left to compare; stat fails on " (deleted)".
        if (const std::optional<struct stat> backing = statOf(path))
            loops.push_back({name, *backing});
    }
    return loops;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Names for the same sectors as a whole: the device, loop devices over the same file, the block
// device under a loop device, and loop devices over the device.
class AliasFinder {
public:
    explicit AliasFinder(std::vector<Loop> loops) : loops_(std::move(loops)) {}

    std::set<QString> aliasesOfFile(const struct stat& file) {
        std::set<QString> names;
        for (const Loop& loop : loops_)
            if (sameFile(loop.backing, file))
                add(loop.name, names);
        return names;
    }

    std::set<QString> aliasesOf(const QString& name) {
        std::set<QString> names;
        add(name, names);
        return names;
    }

private:
    void add(const QString& name, std::set<QString>& names) {
        if (name.isEmpty() || !names.insert(name).second)
            return;
        const std::optional<dev_t> number = numberOf(name);
        for (const Loop& loop : loops_) {
            if (loop.name == name) {
                if (S_ISBLK(loop.backing.st_mode))
                    add(nameOf(loop.backing.st_rdev), names);
                for (const Loop& other : loops_)
                    if (sameFile(other.backing, loop.backing))
                        add(other.name, names);
            }
            if (number && S_ISBLK(loop.backing.st_mode) && loop.backing.st_rdev == *number)
                add(loop.name, names);
        }
    }

    std::vector<Loop> loops_;
};

std::vector<dev_t> numbersOf(const std::set<QString>& names) {
    std::vector<dev_t> numbers;
    for (const QString& name : names)
        if (const std::optional<dev_t> number = numberOf(name))
            numbers.push_back(*number);
    return numbers;
}

bool contains(const std::vector<dev_t>& devices, dev_t device) {
    return std::find(devices.begin(), devices.end(), device) != devices.end();
}

} // namespace

std::vector<dev_t> overlapping(const QString& deviceOrImage) {
    const std::optional<struct stat> target = statOf(deviceOrImage);
    if (!target || !(S_ISBLK(target->st_mode) || S_ISREG(target->st_mode)))
        return {};
    AliasFinder finder(attachedLoops());
    std::set<QString> whole;
    if (S_ISBLK(target->st_mode))
        whole = finder.aliasesOf(nameOf(target->st_rdev));
    else
        whole = finder.aliasesOfFile(*target);

    std::set<QString> names = whole;
    for (const QString& name : whole) {
        for (const QString& partition : partitionsOf(name))
            names.merge(finder.aliasesOf(partition));
        if (isPartition(name))
            names.merge(finder.aliasesOf(diskOf(name)));
    }
    std::vector<dev_t> devices = numbersOf(names);
    // A device sysfs does not list is still itself.
    if (S_ISBLK(target->st_mode) && !contains(devices, target->st_rdev))
        devices.push_back(target->st_rdev);
    return devices;
}

QStringList held(const std::vector<dev_t>& devices) {
    QStringList found;
    for (const dev_t device : devices) {
        const QString name = nameOf(device);
        if (name.isEmpty())
            continue;
        const QDir holders(kBlocks + name + QStringLiteral("/holders"));
        for (const QString& holder : holders.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            found << QStringLiteral("/dev/%1 is part of /dev/%2").arg(name, holder);
    }
    return found;
}

QStringList swapping(const std::vector<dev_t>& devices) {
    QStringList found;
    QFile swaps(QStringLiteral("/proc/swaps"));
    if (!swaps.open(QIODevice::ReadOnly))
        return found;
    swaps.readLine(); // the column headings
    while (!swaps.atEnd()) {
        // Blanks in the name are written as octal escapes, so the first field is the whole name.
        const QByteArray line = swaps.readLine().simplified();
        const QString path = QString::fromLocal8Bit(line.left(line.indexOf(' ')));
        const std::optional<struct stat> info = statOf(path);
        if (info && S_ISBLK(info->st_mode) && contains(devices, info->st_rdev))
            found << path + QStringLiteral(" holds swap space");
    }
    return found;
}

} // namespace fr::DeviceUsage
