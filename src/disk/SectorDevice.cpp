#include "disk/SectorDevice.h"

#include "disk/CdDisc.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace fr {

SectorDevice::~SectorDevice() {
    close();
}

void SectorDevice::close() {
    file_.close();
}

bool SectorDevice::open(const QString& path, Mode mode, QString* error) {
    close();
    // A CD image described by a cue sheet keeps its 2048-byte sectors in the .bin beside it.
    const bool cdImage =
        QFileInfo(path).suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) == 0 ||
        QFileInfo(path).suffix().compare(QLatin1String("iso"), Qt::CaseInsensitive) == 0;
    rawTrack_ = RawDataTrack::of(path);
    if (rawTrack_ && mode == Mode::Write) {
        if (error)
            *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(EROFS));
        return false;
    }
    const QByteArray name = QFile::encodeName(CdDisc::dataTrackSource(path));
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        if (error)
            *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    blockDevice_ = S_ISBLK(info.st_mode);

    const int flags = mode == Mode::Write ? (O_WRONLY | O_DSYNC) : O_RDONLY;
    if (const int failure = file_.open(name, flags, blockDevice_)) {
        if (error)
            *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(failure));
        return false;
    }

    if (blockDevice_) {
        int logical = 512;
        std::uint64_t bytes = 0;
        if (::ioctl(file_.fd(), BLKSSZGET, &logical) == 0 && logical > 0)
            sectorSize_ = static_cast<std::uint32_t>(logical);
        if (::ioctl(file_.fd(), BLKGETSIZE64, &bytes) == 0)
            size_ = bytes;
    } else if (rawTrack_) {
        sectorSize_ = RawDataTrack::kUserBytes;
        size_ = rawTrack_->volumeBytes();
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
    if (!file_.isOpen()) {
        lastError_ = EBADF;
        return false;
    }
    // A medium does not grow: an image file written past its end would.
    if (offset > size_ || bytes > size_ - offset) {
        lastError_ = write ? ENOSPC : 0;
        return false;
    }
    if (rawTrack_) {
        const bool read = !write && rawTrack_->read(file_.fd(), offset, buffer, bytes);
        lastError_ = read ? 0 : (write ? EROFS : errno);
        return read;
    }
    const TransferResult moved =
        write ? file_.writeFully(buffer, bytes, offset) : file_.readFully(buffer, bytes, offset);
    lastError_ = moved.error;
    // A short transfer (the end of the medium) fails as a whole, as one that met an error.
    return moved.error == 0 && moved.bytes == bytes;
}

} // namespace fr
