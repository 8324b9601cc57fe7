#pragma once

#include "core/RawDiskTypes.h"

#include <QChar>
#include <QString>

namespace fr {
class DriveMap;
struct ProgramContext;
} // namespace fr

namespace fr::cli {

// A whole medium a command works on: the drive a letter stands for, or a block device or image
// file that no drive stands for, named by its own path.
struct Medium {
    QChar letter;   // null for a device without a drive
    QString device; // the block device or image file; a drive's may be empty (no medium)

    bool hasDrive() const { return !letter.isNull(); }
    // How the journal names it: the letter twice ("EE"), or the device code.
    QString code() const;
    // How messages name it before a colon: the letter, or the device's path.
    QString name() const;
    // "drive E: (/dev/sdb)", or the device's path alone.
    QString described() const;
    // The identity (serial number, label) of what it holds.
    TMediaIdentifier identity(ProgramContext& context) const;
    // Its layout: the drive's, or that of the device's bare sectors.
    TDriveInfo layout(ProgramContext& context) const;
};

// A medium named on the command line: "E", "E:" or "E:\", or a block device or image file. One
// a drive letter stands for is that drive, as it always was; any other is taken as it is. A
// null letter and an empty device, with `error` set, when nothing fits.
Medium mediumArgument(const QString& typed, const DriveMap& drives, QString* error);

// The medium a journal entry names: by its letter (the drive's device as it is now) or by its
// device code.
Medium mediumOfCode(const QString& code, const DriveMap& drives);

} // namespace fr::cli
