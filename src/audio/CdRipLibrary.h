#pragma once

#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace fr {

// One entry of a disc's table of contents, 6 bytes as the ripping library returns it: the
// first sector of a track (or of the lead-out), and a flags byte that is exactly 16 for an
// audio track (ADR 1 in the high half, the track's control bits in the low half).
#pragma pack(push, 1)
struct TocEntry {
    std::uint32_t StartSector = 0;
    std::uint8_t Flags = 0;
    std::uint8_t reserved = 0;
};
#pragma pack(pop)
static_assert(sizeof(TocEntry) == 6);

// The per-drive parameter record, a block of 340 bytes of which the ripper component touches
// four fields; the rest is the library's.
namespace CdRomParameters {
inline constexpr std::size_t kSize = 340;
inline constexpr std::size_t kSpeed = 276;            // 32-bit read speed
inline constexpr std::size_t kJitterCorrection = 284; // 32-bit: -1 on, 0 off
inline constexpr std::size_t kDriveTable = 292;       // seven 32-bit values, 28 bytes
inline constexpr std::size_t kDriveTableSize = 28;
inline constexpr std::size_t kOutputFormat = 327; // 32-bit output format ordinal
} // namespace CdRomParameters

// Results of the ripping library's calls. Status 1 is the one failure the ripper tests for.
enum CdRipResult : std::uint32_t {
    CR_OK = 0,
    CR_ERROR = 1,
    CR_JITTER_ERROR = 3, // a chunk in which jitter was met and corrected: its data is valid
    CR_END_OF_RANGE = 4, // the last chunk of the range: its data is valid
    // A chunk in which sectors could not be read: silence stands in their place, so the
    // chunk keeps its length and its data is valid. CR_GetLastUnreadableSectors says which.
    // A last chunk of the range with such sectors gives this, and the next call gives
    // CR_END_OF_RANGE with no data.
    CR_SECTORS_LOST = 5,
};

// What a disc says of itself in its CD-Text: the album's title and performer, and each
// track's, in the order of the table of contents; empty where it says nothing.
struct DiscText {
    struct Track {
        QString title;
        QString performer;
        friend bool operator==(const Track&, const Track&) = default;
    };
    QString album;
    QString performer;
    QList<Track> tracks;

    bool empty() const { return album.isEmpty() && performer.isEmpty() && tracks.isEmpty(); }
    friend bool operator==(const DiscText&, const DiscText&) = default;
};

// The CD ripping library: drives by index, their parameter records, tables of contents, and
// one open rip of a sector range at a time, chunk by chunk. The real one reads optical drives
// and disc images; tests script it to check the ripper's exact calls.
class CdRipLibrary {
public:
    virtual ~CdRipLibrary() = default;

    virtual std::uint32_t CR_GetCDRipVersion() = 0;
    // 1 when the library cannot be used.
    virtual std::uint32_t CR_Init() = 0;
    // Copies the active drive's record into `parameters` (kSize bytes).
    virtual std::uint32_t CR_GetCDROMParameters(std::uint8_t* parameters) = 0;
    // Takes a record over for the active drive.
    virtual std::uint32_t CR_SetCDROMParameters(const std::uint8_t* parameters) = 0;
    virtual std::uint32_t CR_GetActiveCDROM() = 0;
    virtual std::uint32_t CR_SetActiveCDROM(std::uint32_t drive) = 0;
    // Reads the active drive's table of contents; the three calls below report it.
    virtual std::uint32_t CR_ReadToc() = 0;
    // Tracks n: entries 0..n-1 are the tracks, entry n the lead-out.
    virtual std::uint32_t CR_GetNumTocEntries() = 0;
    virtual TocEntry CR_GetTocEntry(std::uint32_t index) = 0;
    // Opens a rip of sectors start..end (inclusive); *bufferSize = most bytes one chunk gives.
    virtual std::uint32_t CR_OpenRipper(std::uint32_t* bufferSize, std::uint32_t start,
                                        std::uint32_t end) = 0;
    // The next chunk of 16-bit little-endian PCM in the record's output format.
    virtual std::uint32_t CR_RipChunk(std::uint8_t* buffer, std::uint32_t* bytes) = 0;
    virtual std::uint32_t CR_GetLastJitterErrorPosition(std::uint32_t* first,
                                                        std::uint32_t* second) = 0;
    // After CR_SECTORS_LOST: the first and last sector of that chunk that could not be read.
    virtual std::uint32_t CR_GetLastUnreadableSectors(std::uint32_t* first,
                                                      std::uint32_t* last) = 0;
    virtual std::uint32_t CR_GetPercentCompleted() = 0;
    virtual std::uint32_t CR_GetNumberOfJitterErrors() = 0;
    virtual std::uint32_t CR_CloseRipper() = 0;
    // The CD-Text of the disc the last CR_ReadToc read; none where the library reads none.
    virtual DiscText CR_GetDiscText() { return {}; }
};

} // namespace fr
