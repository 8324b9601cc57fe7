#include "support/TmpfsMount.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace fr::test {

bool TmpfsMount::available(QString* reason) {
    if (geteuid() == 0)
        return true;
    if (reason)
        *reason = QStringLiteral("mounting a tmpfs needs root");
    return false;
}

TmpfsMount::TmpfsMount(const QString& folder, qint64 bytes) : folder_(folder) {
    QDir().mkpath(folder);
    const QByteArray options = "size=" + QByteArray::number(bytes);
    mounted_ = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0,
                       options.constData()) == 0;
    if (!mounted_)
        error_ = QStringLiteral("mount tmpfs on %1: %2").arg(folder, strerror(errno));
}

TmpfsMount::~TmpfsMount() {
    if (!mounted_)
        return;
    const QByteArray folder = QFile::encodeName(folder_);
    // A file still open somewhere must not leave the mount behind.
    if (::umount(folder.constData()) != 0)
        ::umount2(folder.constData(), MNT_DETACH);
}

bool TmpfsMount::fill(const QString& name) const {
    const int file = ::open(QFile::encodeName(folder_ + '/' + name).constData(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0)
        return false;
    const QByteArray page(4096, 'f');
    // Page by page and then byte by byte, so that not even a partial page is left.
    ssize_t written = 0;
    while ((written = ::write(file, page.constData(), page.size())) == page.size()) {
    }
    while (written >= 0 && (written = ::write(file, page.constData(), 1)) == 1) {
    }
    const bool full = written < 0 && errno == ENOSPC;
    ::close(file);
    return full;
}

} // namespace fr::test
