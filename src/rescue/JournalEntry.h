#pragma once

#include "core/CopyJob.h"

#include <QString>

namespace fr {

class DriveMap;
struct ProgramContext;

// What a journal entry is and how its list line and fields read.
namespace JournalEntry {

enum class Kind { FileCopy, MediumToImage, ImageToMedium };

// A medium code is a drive letter written twice ("AA") and nothing else: a whole drive
// instead of a file.
bool isMediumCode(const QString& name);
// A medium no drive letter stands for (a block device or image file named by its path) is kept
// as "::" and that path ("::/dev/sdb"): a device link without its letter. An earlier version
// reads it as neither a drive path nor a medium code, finds no such file and finishes nothing.
bool isDeviceCode(const QString& name);
QString deviceCode(const QString& nativeDevice);
// The path of a device code; empty for any other name.
QString deviceOfCode(const QString& name);
// A whole medium, by its letter or by its device.
bool namesMedium(const QString& name);
// The letter that stands for a medium name now: its own, or that of the drive whose device is
// the device code's. Null when no drive does.
QChar driveOfMedium(const QString& name, const DriveMap& drives);
// Whether the name is a file's path: "X:\..." on a drive, or a native path ("/...") kept for
// a name that drive form cannot hold; a network path or a medium code is not.
bool isFilePath(const QString& name);
Kind kindOf(const CopyJob& job);

QString listLine(const CopyJob& job, const ProgramContext& context);
// The texts of the source and destination fields: a medium shows as "medium in drive X".
QString sourceField(const CopyJob& job, const ProgramContext& context);
QString destinationField(const CopyJob& job, const ProgramContext& context);

// A size in megabytes as the journal shows it: general format, three significant digits.
QString megabytes(std::uint64_t bytes);

// Whether the entry cannot be true: a job never gets further than its last block past its own
// end, so a position beyond that (bytes of a copy, sectors of an image job) means the record
// was damaged. Such an
// entry is never run: resumed, it would pass for finished at once.
bool isDamaged(const CopyJob& job);

// Whether the source and destination are still as the stopped copy left them: empty when
// they are, otherwise strings 70/72 and 71/73 joined by ", "; string 263 alone for a damaged
// entry.
QString status(const CopyJob& job, const ProgramContext& context);

} // namespace JournalEntry

} // namespace fr
