#include "platform/Transfer.h"

#include "platform/AlignedBuffer.h"

#include <QFileInfo>
#include <QString>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fr {

namespace {

// Whether the block device numbered `device` is still known to the kernel. A device that was
// never listed there (the anonymous numbers of user-space and network file systems) counts as
// present: its loss shows as ENOTCONN or ESTALE instead.
bool blockDevicePresent(dev_t device) {
    if (major(device) == 0)
        return true;
    return QFileInfo::exists(
        QStringLiteral("/sys/dev/block/%1:%2").arg(major(device)).arg(minor(device)));
}

} // namespace

bool saysMediumGone(int error) {
    // A user-space file system whose connection breaks answers the request under way with
    // ECONNABORTED and every later one with ENOTCONN.
    return error == ENODEV || error == ENXIO || error == ENOTCONN || error == ECONNABORTED ||
           error == ESTALE;
}

bool mediumGone(int fd, int error) {
    if (saysMediumGone(error))
        return true;
    if (error != EIO && error != EBADF)
        return false;
    struct stat status {};
    if (fstat(fd, &status) != 0)
        return saysMediumGone(errno);
    if (S_ISBLK(status.st_mode)) {
        std::uint64_t bytes = 0;
        if (!blockDevicePresent(status.st_rdev))
            return true;
        // A removed disk keeps its node open but reports a size of 0.
        return ioctl(fd, BLKGETSIZE64, &bytes) != 0 ? saysMediumGone(errno) : bytes == 0;
    }
    return !blockDevicePresent(status.st_dev);
}

TransferResult readOnce(int fd, void* into, std::uint64_t length, std::uint64_t offset) {
    for (;;) {
        const ssize_t got = ::pread(fd, into, length, static_cast<off_t>(offset));
        if (got >= 0)
            return {static_cast<std::uint64_t>(got), 0};
        if (errno != EINTR)
            return {0, errno};
    }
}

TransferResult readFully(int fd, void* into, std::uint64_t length, std::uint64_t offset) {
    TransferResult result;
    auto* bytes = static_cast<std::uint8_t*>(into);
    while (result.bytes < length) {
        const TransferResult got =
            readOnce(fd, bytes + result.bytes, length - result.bytes, offset + result.bytes);
        result.bytes += got.bytes;
        if (got.error != 0) {
            result.error = got.error;
            break;
        }
        if (got.bytes == 0)
            break; // the end of the file
    }
    return result;
}

TransferResult writeFully(int fd, const void* from, std::uint64_t length, std::uint64_t offset) {
    TransferResult result;
    const auto* bytes = static_cast<const std::uint8_t*>(from);
    while (result.bytes < length) {
        const ssize_t put = ::pwrite(fd, bytes + result.bytes, length - result.bytes,
                                     static_cast<off_t>(offset + result.bytes));
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0) {
            result.error = errno;
            break;
        }
        if (put == 0) {
            result.error = ENOSPC;
            break;
        }
        result.bytes += static_cast<std::uint64_t>(put);
    }
    return result;
}

TransferFile::~TransferFile() {
    close();
}

void TransferFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    direct_ = false;
}

int TransferFile::open(const QByteArray& path, int flags, bool direct) {
    close();
    if (direct) {
        fd_ = ::open(path.constData(), flags | O_CLOEXEC | O_DIRECT, 0666);
        direct_ = fd_ >= 0;
    }
    if (fd_ < 0)
        fd_ = ::open(path.constData(), flags | O_CLOEXEC, 0666);
    return fd_ < 0 ? errno : 0;
}

TransferResult TransferFile::readOnce(void* into, std::uint64_t length, std::uint64_t offset) {
    return transfer(Kind::ReadOnce, into, length, offset);
}

TransferResult TransferFile::readFully(void* into, std::uint64_t length, std::uint64_t offset) {
    return transfer(Kind::ReadFully, into, length, offset);
}

TransferResult TransferFile::writeFully(const void* from, std::uint64_t length,
                                        std::uint64_t offset) {
    return transfer(Kind::Write, const_cast<void*>(from), length, offset);
}

TransferResult TransferFile::plain(Kind kind, void* data, std::uint64_t length,
                                   std::uint64_t offset) const {
    switch (kind) {
    case Kind::ReadOnce:
        return fr::readOnce(fd_, data, length, offset);
    case Kind::ReadFully:
        return fr::readFully(fd_, data, length, offset);
    case Kind::Write:
        break;
    }
    return fr::writeFully(fd_, data, length, offset);
}

void TransferFile::dropDirect() {
    const int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0)
        fcntl(fd_, F_SETFL, flags & ~O_DIRECT);
    direct_ = false;
}

TransferResult TransferFile::transfer(Kind kind, void* data, std::uint64_t length,
                                      std::uint64_t offset) {
    if (fd_ < 0)
        return {0, EBADF};
    if (direct_ && reinterpret_cast<std::uintptr_t>(data) % kDirectAlignment != 0) {
        // Direct transfers need memory aligned to the page; the caller's seldom is.
        AlignedBuffer bounce = allocateAligned(length, kDirectAlignment);
        if (!bounce)
            return {0, ENOMEM};
        if (kind == Kind::Write)
            std::memcpy(bounce.get(), data, length);
        const TransferResult result = transfer(kind, bounce.get(), length, offset);
        if (kind != Kind::Write)
            std::memcpy(data, bounce.get(), result.bytes);
        return result;
    }
    TransferResult result = plain(kind, data, length, offset);
    if (direct_ && result.error == EINVAL && result.bytes == 0) {
        // The file system took the direct handle but refuses its transfers.
        dropDirect();
        result = plain(kind, data, length, offset);
    }
    return result;
}

} // namespace fr
