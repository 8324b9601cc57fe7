#include "platform/FileIdentity.h"

#include "platform/FileName.h"

#include <QDir>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace fr {

namespace {

bool statOf(const QString& nativePath, struct stat* info) {
    return !nativePath.isEmpty() && ::stat(fileNameBytes(nativePath).constData(), info) == 0;
}

// The folder resolved through its links, and the name within it; a folder that does not exist
// either is only cleaned.
QString resolvedName(const QString& nativePath) {
    const QString path = absoluteFileName(nativePath);
    const qsizetype slash = path.lastIndexOf('/');
    const QString name = path.mid(slash + 1);
    QString folder = path.left(std::max<qsizetype>(slash, 1));
    if (const QString resolved = canonicalPath(folder); !resolved.isEmpty())
        folder = resolved;
    return folder == QLatin1String("/") ? folder + name : folder + '/' + name;
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

QString canonicalPath(const QString& nativePath) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(fileNameBytes(nativePath).constData(), nullptr), &std::free);
    return resolved ? fileNameFromBytes(QByteArrayView(resolved.get())) : QString();
}

bool fileExists(const QString& nativePath) {
    struct stat info {};
    return statOf(nativePath, &info);
}

std::int64_t fileSize(const QString& nativePath) {
    struct stat info {};
    return statOf(nativePath, &info) ? static_cast<std::int64_t>(info.st_size) : -1;
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
