#include "disk/SectorDevice.h"

#include "disk/CdDisc.h"
#include "platform/AlignedBuffer.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fr {

namespace {

constexpr std::size_t kAlignment = 4096;

} // namespace

SectorDevice::~SectorDevice() {
    close();
}

void SectorDevice::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool SectorDevice::open(const QString& path, Mode mode, QString* error) {
    close();
    // A CD image described by a cue sheet keeps its 2048-byte sectors in the .bin beside it.
    const bool cdImage =
        QFileInfo(path).suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) == 0 ||
        QFileInfo(path).suffix().compare(QLatin1String("iso"), Qt::CaseInsensitive) == 0;
    const QByteArray name = QFile::encodeName(CdDisc::dataTrackSource(path));
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        if (error)
            *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    blockDevice_ = S_ISBLK(info.st_mode);

    int flags = O_CLOEXEC | (mode == Mode::Write ? (O_WRONLY | O_DSYNC) : O_RDONLY);
    if (blockDevice_) {
        fd_ = ::open(name.constData(), flags | O_DIRECT);
        direct_ = fd_ >= 0;
    }
    if (fd_ < 0)
        fd_ = ::open(name.constData(), flags);
    if (fd_ < 0) {
        if (error)
            *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }

    if (blockDevice_) {
        int logical = 512;
        std::uint64_t bytes = 0;
        if (::ioctl(fd_, BLKSSZGET, &logical) == 0 && logical > 0)
            sectorSize_ = static_cast<std::uint32_t>(logical);
        if (::ioctl(fd_, BLKGETSIZE64, &bytes) == 0)
            size_ = bytes;
    } else {
        sectorSize_ = cdImage ? 2048 : 512;
        size_ = static_cast<std::uint64_t>(info.st_size);
    }
    return true;
}

bool SectorDevice::readAt(std::uint64_t offset, void* buffer, std::size_t bytes) {
    return transfer(offset, buffer, bytes, false);
}

bool SectorDevice::writeAt(std::uint64_t offset, const void* buffer, std::size_t bytes) {
    return transfer(offset, const_cast<void*>(buffer), bytes, true);
}

bool SectorDevice::transfer(std::uint64_t offset, void* buffer, std::size_t bytes, bool write) {
    lastError_ = 0;
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    // A medium does not grow: an image file written past its end would.
    if (offset > size_ || bytes > size_ - offset) {
        lastError_ = write ? ENOSPC : 0;
        return false;
    }
    // O_DIRECT needs memory aligned to the page; the caller's buffer seldom is.
    AlignedBuffer bounce;
    char* data = static_cast<char*>(buffer);
    if (direct_ && reinterpret_cast<std::uintptr_t>(buffer) % kAlignment != 0) {
        bounce = allocateAligned(bytes, kAlignment);
        if (!bounce) {
            lastError_ = ENOMEM;
            return false;
        }
        data = reinterpret_cast<char*>(bounce.get());
        if (write)
            std::memcpy(data, buffer, bytes);
    }

    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t moved =
            write ? ::pwrite(fd_, data + done, bytes - done, static_cast<off_t>(offset + done))
                  : ::pread(fd_, data + done, bytes - done, static_cast<off_t>(offset + done));
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved < 0) {
            lastError_ = errno;
            return false;
        }
        if (moved == 0)
            return false; // the end of the medium: a short transfer fails
        done += static_cast<std::size_t>(moved);
    }
    if (bounce && !write)
        std::memcpy(buffer, data, bytes);
    return true;
}

} // namespace fr
