#include "disk/DataTrack.h"

#include "disk/CdDisc.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fr {

std::optional<RawDataTrack> RawDataTrack::of(const QString& source) {
    if (QFileInfo(source).suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    QFile sheet(source);
    if (!sheet.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The first TRACK line says how the disc's first track is stored.
    static const QRegularExpression track(QStringLiteral("^\\s*TRACK\\s+\\d+\\s+(\\S+)"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch first = track.match(QString::fromUtf8(sheet.readAll()));
    if (!first.hasMatch())
        return std::nullopt;
    const QString mode = first.captured(1).toUpper();
    RawDataTrack layout;
    if (mode == QLatin1String("MODE1/2352"))
        layout.userOffset = 16;
    else if (mode == QLatin1String("MODE2/2352"))
        layout.userOffset = 24;
    else
        return std::nullopt;
    layout.binFile = CdDisc::dataTrackSource(source);
    struct stat bin {};
    if (::stat(QFile::encodeName(layout.binFile).constData(), &bin) != 0)
        return std::nullopt;
    const auto binSectors = static_cast<std::uint64_t>(bin.st_size) / layout.sectorBytes;
    // The track ends where the next one starts, or at the lead-out.
    const CdDisc disc(source);
    const std::vector<std::uint32_t> starts =
        disc.isOpen() ? disc.trackStartLbas() : std::vector<std::uint32_t>{};
    layout.firstSector = starts.empty() ? 0 : starts.front();
    const std::uint64_t end =
        starts.size() > 1 ? starts[1] : (disc.isOpen() ? disc.leadOutLba() : binSectors);
    layout.sectors = std::min(end, binSectors) > layout.firstSector
                         ? std::min(end, binSectors) - layout.firstSector
                         : 0;
    return layout;
}

bool RawDataTrack::read(int binFd, std::uint64_t offset, void* buffer, std::size_t bytes) const {
    if (offset > volumeBytes() || bytes > volumeBytes() - offset) {
        errno = EINVAL;
        return false;
    }
    auto* out = static_cast<char*>(buffer);
    while (bytes > 0) {
        const std::uint64_t sector = offset / kUserBytes;
        const std::uint64_t within = offset % kUserBytes;
        const std::size_t piece = std::min<std::uint64_t>(bytes, kUserBytes - within);
        const auto at =
            static_cast<off_t>((firstSector + sector) * sectorBytes + userOffset + within);
        std::size_t done = 0;
        while (done < piece) {
            const ssize_t got = ::pread(binFd, out + done, piece - done, at + off_t(done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                if (got == 0)
                    errno = EIO;
                return false;
            }
            done += std::size_t(got);
        }
        out += piece;
        offset += piece;
        bytes -= piece;
    }
    return true;
}

int RawDataTrack::volumeCopy(std::uint64_t limit) const {
    const int bin = ::open(QFile::encodeName(binFile).constData(), O_RDONLY | O_CLOEXEC);
    if (bin < 0)
        return -1;
    const int copy = ::memfd_create("data-track", MFD_CLOEXEC);
    if (copy < 0) {
        const int error = errno;
        ::close(bin);
        errno = error;
        return -1;
    }
    const std::uint64_t total = std::min(limit, volumeBytes()) / kUserBytes * kUserBytes;
    std::vector<char> sector(kUserBytes);
    bool whole = true;
    for (std::uint64_t offset = 0; whole && offset < total; offset += kUserBytes)
        whole = read(bin, offset, sector.data(), kUserBytes) &&
                ::pwrite(copy, sector.data(), kUserBytes, off_t(offset)) == ssize_t(kUserBytes);
    const int error = errno;
    ::close(bin);
    if (!whole) {
        ::close(copy);
        errno = error;
        return -1;
    }
    return copy;
}

} // namespace fr
