#pragma once

#include <QString>

namespace fr {

// Clears the read-only attribute of a file (gives its owner write permission back), as the
// program does before it opens one of its own files or the source of a copy. Files copied
// from a CD arrive read-only, and the program must be able to rewrite its own files later.
// Returns false, with error set, when the file exists but its mode cannot be changed; a
// missing file is no failure here (opening it will report that).
bool resetEX(const QString& path, QString* error = nullptr);

} // namespace fr
