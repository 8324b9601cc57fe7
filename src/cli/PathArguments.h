#pragma once

#include <QString>

namespace fr {
class DriveMap;
}

namespace fr::cli {

// A file named on the command line, in the drive form the journal keeps ("E:\dir\file") and
// as the native path the system opens.
struct FileArgument {
    QString driveForm;
    QString native;
};

// "E:\dir\file" (or "E:/dir/file") as it stands; a native path, relative to the working
// directory or absolute, goes to the drive whose root holds it (the deepest one), unless a
// name on the way holds a backslash: drive form would read it as a separator, so such a path
// stays native in both fields. `error` says why a path fits no drive; the result is then
// empty.
FileArgument fileArgument(const QString& typed, const DriveMap& drives, QString* error);

// "<path>: <the system's reason>" for a file that cannot be looked at, or just the path when
// nothing is wrong with it.
QString fileReason(const QString& nativePath);

} // namespace fr::cli
