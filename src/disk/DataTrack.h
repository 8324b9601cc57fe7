#pragma once

#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace fr {

// The data track of a BIN/CUE disc whose .bin holds raw 2352-byte sectors (MODE1/2352, or
// MODE2/2352 form 1, as mixed-mode discs are often ripped). Its volume lives in the 2048 bytes
// of user data of each sector, after the sync, header (and subheader): read as a volume, the
// track is those user data one after the other, as a drive hands them out.
struct RawDataTrack {
    static constexpr std::uint64_t kUserBytes = 2048;

    QString binFile;
    std::uint64_t sectorBytes = 2352;
    std::uint64_t userOffset = 16; // 16 for mode 1, 24 for mode 2 form 1
    std::uint64_t firstSector = 0; // in the .bin
    std::uint64_t sectors = 0;

    // The track as a volume: its sectors' user data.
    std::uint64_t volumeBytes() const { return sectors * kUserBytes; }
    // The volume a .bin of `binBytes` holds now: up to the track's end, or to the last whole
    // sector the .bin still has.
    std::uint64_t volumeBytesHeld(std::uint64_t binBytes) const {
        const std::uint64_t binSectors = binBytes / sectorBytes;
        const std::uint64_t held = binSectors > firstSector ? binSectors - firstSector : 0;
        return std::min(held, sectors) * kUserBytes;
    }

    // The track of a cue sheet whose first track is a raw data track; nothing for any other
    // source (a cooked MODE1/2048 .bin is its volume already).
    static std::optional<RawDataTrack> of(const QString& source);

    // Reads `bytes` of the volume from `offset` out of the open .bin; false, with errno set,
    // when a sector cannot be read whole or the range passes the track's end.
    bool read(int binFd, std::uint64_t offset, void* buffer, std::size_t bytes) const;

    // A file holding the volume's first `limit` bytes (at most the whole track), for tools that
    // probe a volume through a file descriptor; -1 with errno set when it cannot be made. The
    // caller closes it.
    int volumeCopy(std::uint64_t limit) const;
};

} // namespace fr
