#pragma once

#include "audio/CdRipLibrary.h"

#include <QString>
#include <array>
#include <memory>
#include <vector>

namespace fr {

class DriveMap;

// The ripping library over libcdio and libcdio-paranoia. Its drives are the given sources,
// optical drives or BIN/CUE disc images, numbered from 0; each keeps its own parameter
// record. Ripping reads through paranoia: full jitter correction when the record's jitter
// field is not 0, plain reads otherwise; the CD sound is converted to the record's output
// format (mono by averaging the channels, lower rates by averaging neighbouring frames).
// A sector that cannot be read becomes silence of its length, and the chunk says so.
class ParanoiaRipLibrary final : public CdRipLibrary {
public:
    explicit ParanoiaRipLibrary(std::vector<QString> driveSources);
    ~ParanoiaRipLibrary() override;

    // The CD-ROM drives of a drive map, in letter order.
    static std::vector<QString> cdDrivesOf(const DriveMap& drives);

    // Paranoia's fault simulation for the next rips (its drive's test flags): 1 small jitter,
    // 2 large jitter, +4 on every read, 64 underruns. 0 reads as it is.
    void setTestFlags(int flags) { testFlags_ = flags; }

    std::uint32_t CR_GetCDRipVersion() override;
    std::uint32_t CR_Init() override;
    std::uint32_t CR_GetCDROMParameters(std::uint8_t* parameters) override;
    std::uint32_t CR_SetCDROMParameters(const std::uint8_t* parameters) override;
    std::uint32_t CR_GetActiveCDROM() override;
    std::uint32_t CR_SetActiveCDROM(std::uint32_t drive) override;
    std::uint32_t CR_ReadToc() override;
    DiscText CR_GetDiscText() override { return discText_; }
    std::uint32_t CR_GetNumTocEntries() override;
    TocEntry CR_GetTocEntry(std::uint32_t index) override;
    std::uint32_t CR_OpenRipper(std::uint32_t* bufferSize, std::uint32_t start,
                                std::uint32_t end) override;
    std::uint32_t CR_RipChunk(std::uint8_t* buffer, std::uint32_t* bytes) override;
    std::uint32_t CR_GetLastJitterErrorPosition(std::uint32_t* first,
                                                std::uint32_t* second) override;
    std::uint32_t CR_GetLastUnreadableSectors(std::uint32_t* first, std::uint32_t* last) override;
    std::uint32_t CR_GetPercentCompleted() override;
    std::uint32_t CR_GetNumberOfJitterErrors() override;
    std::uint32_t CR_CloseRipper() override;

    struct Rip;

private:
    using Parameters = std::array<std::uint8_t, CdRomParameters::kSize>;

    std::vector<QString> sources_;
    std::vector<Parameters> parameters_;
    std::uint32_t active_ = 0;
    std::vector<TocEntry> toc_; // the tracks and the lead-out, from the last CR_ReadToc
    DiscText discText_;         // and the disc's CD-Text
    std::unique_ptr<Rip> rip_;
    int testFlags_ = 0;
};

} // namespace fr
