#pragma once

#include <QString>
#include <cstdint>
#include <vector>

typedef struct _CdIo CdIo_t;

namespace fr {

// The table of contents of a CD in an optical drive or of a BIN/CUE disc image.
class CdDisc {
public:
    explicit CdDisc(const QString& source);
    ~CdDisc();
    CdDisc(const CdDisc&) = delete;
    CdDisc& operator=(const CdDisc&) = delete;

    // Optical drives and cue sheets are read as CDs; other sources are not.
    static bool isCdSource(const QString& source);
    // Where a data disc's file system can be probed: the .bin beside a cue sheet, or the
    // source itself.
    static QString dataTrackSource(const QString& source);

    bool isOpen() const { return cdio_ != nullptr; }
    bool firstTrackIsAudio() const;
    // First sectors of the tracks, in track order, and the first sector of the lead-out.
    std::vector<std::uint32_t> trackStartLbas() const;
    std::uint32_t leadOutLba() const;

private:
    CdIo_t* cdio_ = nullptr;
};

} // namespace fr
