#pragma once

#include "core/RawDiskTypes.h"

#include <QString>

namespace fr {

// Reads which medium is in a drive: its serial number, label and file system, as Windows has
// always shown them, so that a medium registered as damaged is recognised again.
namespace MediaIdentity {

// The medium on a block device or in an image file (.iso, .cue, raw images). A CD whose first
// track is audio reports "Audio CD" and "CDFS" with a serial derived from its table of
// contents. No readable medium: serial 0 and empty texts.
TMediaIdentifier identify(const QString& device);

// The serial number Windows shows for a volume, from the file system's UUID as blkid writes
// it: FAT's "ABCD-1234" as 0xABCD1234, NTFS's low 32 bits, the first 32 bits otherwise.
std::uint32_t serialFromUuid(const QString& fileSystem, const QString& uuid);

// The file-system name as Windows gives it: "FAT" (12 and 16 bits), "FAT32", "NTFS", "CDFS"
// for CD file systems; the Linux name otherwise.
QString fileSystemName(const QString& type, const QString& version);

// A CD's serial from its table of contents: the tracks' start addresses as minute, second and
// frame, summed; discs of one or two tracks add their playing length, so that short discs
// still differ.
std::uint32_t serialFromTableOfContents(const std::vector<std::uint32_t>& trackStartLbas,
                                        std::uint32_t leadOutLba);

} // namespace MediaIdentity

} // namespace fr
