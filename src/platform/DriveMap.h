#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace fr {

enum class DriveType { NoRootDir, Removable, Fixed, CdRom };

// One drive letter and the volume behind it.
struct Drive {
    char letter = 0; // 'A' .. 'Z'
    QString root;    // the folder its files are under; empty when no file system is mounted
    QString device;  // its block device or image file; empty when there is none
    DriveType type = DriveType::Fixed;
};

// Drive letters over the volumes of this machine. C: is "/"; floppy drives are A: and B:;
// other mounted volumes and the optical drives take the next free letters from D: in the
// order of their device names. A removable medium without a mounted volume (an unformatted or
// unreadable stick, a card) takes the next free letter after them, with its whole device and no
// root folder. A folder "dosdevices" in the program folder overrides and adds drives with
// symbolic links: "x:" to a drive's root folder, "x::" to its device or image file.
class DriveMap {
public:
    // The drives as they are now. `sysfsRoot` is where the kernel describes its block devices.
    static DriveMap build(const QString& programDir,
                          const QString& sysfsRoot = QStringLiteral("/sys"));
    // The drives of a program folder that describes all of them in dosdevices.
    static DriveMap fromDosDevices(const QString& dosDevicesDir);

    const Drive* drive(QChar letter) const;
    const std::vector<Drive>& drives() const { return drives_; }

    // "X:\dir\file" to the native path; empty when the drive is unknown or has no root. A
    // native path ("/dir/file"), which is how a name without a drive form is kept, stays as it
    // is.
    QString toNative(const QString& drivePath) const;
    // A native path to "X:\dir\file" on the drive with the longest matching root; empty when
    // no drive holds it, or when a name on the way holds a backslash, which drive form would
    // read as a separator.
    QString toDriveForm(const QString& nativePath) const;
    // The drive with the longest root that holds a native path; null when none does.
    const Drive* driveHolding(const QString& nativePath) const;
    // The letter of the drive a name is on: the first letter of a drive-form name or medium
    // code ("AA"), the drive holding a native path; null for an empty name or a native path
    // on no drive.
    QChar letterOf(const QString& name) const;

private:
    void add(Drive drive);
    void sort();

    std::vector<Drive> drives_;
};

// The type of a drive with this device: optical drives and CD images are CD-ROM, floppy
// drives, USB sticks and card readers removable, the rest fixed.
DriveType driveTypeOfDevice(const QString& device);

// Windows file masks: "*" and "?" wildcards, case-insensitive; "*.*" matches every name,
// also one without a dot.
bool matchesMask(const QString& name, const QString& mask);

// A name starting with "." is hidden; nothing is a system file here.
bool isHiddenName(const QString& name);
// Read-only: the owner may not write the file.
bool isReadOnly(const QString& path);

} // namespace fr
