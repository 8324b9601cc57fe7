#pragma once

#include <QString>

namespace fr {

class DriveMap;

// A path as typed into a path field, in the drive form the program shows, compares and
// journals, the form a path chosen in a dialog or dropped on the window already has:
// - a native path ("/home/ana/photo.jpg") goes to the drive with the longest matching root,
//   unless a name in it holds a backslash: drive form would split that name, so the path
//   stays native;
// - the "." and ".." parts of a drive-form path are resolved as on that drive ("D:\a\..\b" is
//   "D:\b"; ".." at the root stays at the root), and "/" separators become "\".
// Anything else (a network path, a bare name, a native path on no drive) is returned as typed,
// for the checks that follow to refuse.
QString typedPathToDriveForm(const QString& typed, const DriveMap& drives);

} // namespace fr
