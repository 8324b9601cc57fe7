#pragma once

#include <QString>
#include <QStringList>
#include <sys/types.h>
#include <vector>

namespace fr {

// Which block devices reach the same sectors as a target, as the kernel describes them under
// /sys/class/block. A raw write is only safe when none of them is in use: a file system
// mounted through a second loop device over the same image, or on a partition of the disk
// being written, lives on the very sectors the write would change.
namespace DeviceUsage {

// The devices whose sectors overlap the target's, the target itself included (when it is a
// block device):
// - its partitions, and for a partition the whole disk it lies on (not its sibling
//   partitions, which share no sectors with it);
// - for a loop device, every loop device over the same backing file, and the device it is
//   attached to when that is a block device;
// - every loop device attached to the target or to one of the devices above.
// For an image file: the loop devices attached to it, with their partitions. Empty when the
// target does not exist or is neither a block device nor a regular file.
std::vector<dev_t> overlapping(const QString& deviceOrImage);

// The devices that another block device is built on (device mapper, software RAID ...), each
// as "<device> is part of <holder>"; such a device is in use even when nothing is mounted.
QStringList held(const std::vector<dev_t>& devices);

// The devices among them that serve as swap space, each as "<device> holds swap space".
QStringList swapping(const std::vector<dev_t>& devices);

} // namespace DeviceUsage

} // namespace fr
