#pragma once

#include <QString>

namespace fr {

class DriveMap;

// A native path as the window's messages show it: in drive form ("E:\Music\2.mp3") on the
// drive whose root holds it, the form the user typed and chose; a path on no drive (a device,
// a file outside every drive) as it is.
QString shownPath(const QString& nativePath, const DriveMap& drives);
// The same over the drives of the program folder as they are now.
QString shownPath(const QString& nativePath, const QString& programDir);
// A message from below the window (an engine's failure, a file's error) that names the native
// path `nativePath`, with the path as the window shows it.
QString withShownPath(QString message, const QString& nativePath, const QString& programDir);

} // namespace fr
