#pragma once

#include "core/Settings.h"

#include <QString>

namespace fr {

// settings.ini: eleven lines, field i on line i as a decimal number, CR LF line ends.
namespace SettingsFile {

// The field's name as users and the file's documentation know it.
const char* fieldName(int index);

// The largest value a field may hold; fields that only know "1 or anything else" take 255.
int fieldMaximum(int index);

// Reads the eleven lines into the fields. Each line holds one integer, the rest of
// the line after it is ignored, and only its low 8 bits are kept (258 is stored as 2).
// A missing file, a line that is not a number or a value outside its field's range stops the
// read: the returned text names the file, the line and the value; settings are then left
// unchanged. Empty on success.
QString read(const QString& path, Settings& settings);

// Replaces the file with the eleven fields, exactly eleven CR LF lines. The new content is
// written beside the old file and renamed over it, so the file is never left half-written;
// when the folder takes no new file, the existing file is rewritten in place and flushed to
// the disk. A field outside its range is refused and nothing is written, as the next start
// would refuse the file. Returns the reason naming the file on failure, empty on success.
QString write(const QString& path, const Settings& settings);

} // namespace SettingsFile

} // namespace fr
