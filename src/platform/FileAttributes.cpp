#include "platform/FileAttributes.h"

#include "platform/FileName.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace fr {

bool resetEX(const QString& path, QString* error) {
    const QByteArray native = fileNameBytes(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0)
        return true;
    if (info.st_mode & S_IWUSR)
        return true;
    if (::chmod(native.constData(), (info.st_mode & 07777) | S_IWUSR) != 0) {
        if (error)
            *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace fr
