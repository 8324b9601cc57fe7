#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>
#include <vector>

namespace fr {

// One mounted file system, as the kernel lists it for this process.
struct MountEntry {
    dev_t device = 0; // the file system's device number (a block device's own number)
    QString mountPoint;
    QString fileSystem; // "vfat", "ext4", "iso9660" ...
    QString source;     // "/dev/sdb1", "overlay" ...
};

// The kernel's list of mounts of this process (/proc/self/mountinfo), in mount order.
std::vector<MountEntry> readMountTable();
std::vector<MountEntry> parseMountInfo(const QByteArray& content);

// Mount state of volumes, for raw writes and formatting, which must never write under a
// mounted file system. A volume is named by its block device or by an image file; every
// device that reaches the same sectors counts as the volume (see DeviceUsage): the loop
// devices over the image, its partitions, the disk it lies on.
namespace VolumeMounts {

// Where the volume is mounted, deepest mount point first; empty when it is not mounted.
std::vector<QString> mountPointsOf(const QString& deviceOrImage);
bool isMounted(const QString& deviceOrImage);
// True for the volume that holds "/": it is never written and never unmounted.
bool holdsRootFileSystem(const QString& deviceOrImage);
// True when the file at `path` (a folder or file, symbolic links followed) lies on a file
// system of the volume: the volume holds it.
bool holdsPath(const QString& deviceOrImage, const QString& path);
// True when writing the volume's sectors would change data in use: it holds "/", a file
// system on it is mounted, another device is built on it, or it holds swap space. The reason
// names the volume and every use found.
bool inUse(const QString& deviceOrImage, QString* reason = nullptr);
// Unmounts every mount of the volume. False, with the reason, when one cannot be unmounted
// (busy, no permission), when the volume holds the root file system, or when it is in use
// in a way no unmount ends (another device built on it, swap space).
bool unmount(const QString& deviceOrImage, QString* error = nullptr);

} // namespace VolumeMounts

} // namespace fr
