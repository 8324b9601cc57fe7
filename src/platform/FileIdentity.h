#pragma once

#include <QString>
#include <cstdint>

namespace fr {

// What a path names, as far as copying is concerned.
enum class FileKind {
    Missing, // nothing there (also a path that cannot be looked at, or a dangling link)
    Regular, // a file with bytes: the only thing a file copy reads or writes
    Directory,
    Device, // a block or character device: a disk, a partition, /dev/zero
    Fifo,   // a named pipe: opening it for reading waits for a writer
    Socket,
    Other,
};

// The kind of the file a native path names, following symbolic links. The file is only
// looked at, never opened, so a pipe cannot block and a device is never touched.
FileKind kindOf(const QString& nativePath);

// The absolute path with every link and "." or ".." resolved; empty when it names nothing.
QString canonicalPath(const QString& nativePath);
// Whether anything is there, following symbolic links (what QFileInfo::exists says, for a
// name of any bytes).
bool fileExists(const QString& nativePath);
// The size in bytes of what the path names, following symbolic links; -1 when nothing is
// there.
std::int64_t fileSize(const QString& nativePath);

// Whether two native paths name the same file: the same device and inode after following
// symbolic links, which also finds hard links and one folder reached through two drive
// letters. When neither exists, the paths are compared with their folders resolved, so that
// a copy onto itself is found before the file is made. A path that exists and one that does
// not are never the same file. An empty path names no file.
bool sameFile(const QString& a, const QString& b);

} // namespace fr
