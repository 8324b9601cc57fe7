#include "platform/FileIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace fr {

namespace {

bool statOf(const QString& nativePath, struct stat* info) {
    return !nativePath.isEmpty() && ::stat(QFile::encodeName(nativePath).constData(), info) == 0;
}

// The folder resolved through its links, and the name within it; a folder that does not exist
// either is only cleaned.
QString resolvedName(const QString& nativePath) {
    const QFileInfo info(nativePath);
    QString folder = info.absoluteDir().canonicalPath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(info.absolutePath());
    return folder + '/' + info.fileName();
}

} // namespace

FileKind kindOf(const QString& nativePath) {
    struct stat info {};
    if (!statOf(nativePath, &info))
        return FileKind::Missing;
    if (S_ISREG(info.st_mode))
        return FileKind::Regular;
    if (S_ISDIR(info.st_mode))
        return FileKind::Directory;
    if (S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode))
        return FileKind::Device;
    if (S_ISFIFO(info.st_mode))
        return FileKind::Fifo;
    if (S_ISSOCK(info.st_mode))
        return FileKind::Socket;
    return FileKind::Other;
}

bool sameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
    struct stat first {};
    struct stat second {};
    const bool firstExists = statOf(a, &first);
    const bool secondExists = statOf(b, &second);
    if (firstExists && secondExists)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    if (firstExists != secondExists)
        return false;
    return resolvedName(a) == resolvedName(b);
}

} // namespace fr
