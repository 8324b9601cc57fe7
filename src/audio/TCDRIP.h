#pragma once

#include "audio/CdRipLibrary.h"
#include "audio/OutputFormat.h"
#include "audio/TLameCoder.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace fr {

enum class TDriveType : std::uint8_t {
    GENERIC,
    TOSHIBA,
    TOSHIBANEW,
    IBM,
    NEC,
    DEC,
    IMS,
    KODAK,
    RICOH,
    HP,
    PHILIPS,
    PLASMON,
    GRUNDIGCDR100IPW,
    MITSUMICDR,
    PLEXTOR,
    SONY,
    YAMAHA,
    NRC,
    IMSCDD5,
    CUSTOMDRIVE
};
enum class TReadMethod : std::uint8_t {
    READMMC,
    READ10,
    READNEC,
    READSONY,
    READMMC2,
    READMMC3,
    READC1,
    READC2,
    READC3
};
enum class TSetSpeed : std::uint8_t {
    SPEEDNONE,
    SPEEDMMC,
    SPEEDSONY,
    SPEEDYAMAHA,
    SPEEDTOSHIBA,
    SPEEDPHILIPS,
    SPEEDNEC
};
enum class TEndian : std::uint8_t { BIGENDIAN, LITTLEENDIAN };
enum class TEnableMode : std::uint8_t { ENABLENONE, ENABLESTD };

// The drive parameters of the parameter record: seven 32-bit values in this order, copied
// from the record as one block. Enumerations keep the whole 32-bit value and read back its
// low byte.
class TDriveTableClass {
public:
    TDriveType DriveType() const { return TDriveType(std::uint8_t(values_[0])); }
    void setDriveType(TDriveType value) { values_[0] = std::uint32_t(value); }
    TReadMethod ReadMethod() const { return TReadMethod(std::uint8_t(values_[1])); }
    void setReadMethod(TReadMethod value) { values_[1] = std::uint32_t(value); }
    TSetSpeed SetSpeed() const { return TSetSpeed(std::uint8_t(values_[2])); }
    void setSetSpeed(TSetSpeed value) { values_[2] = std::uint32_t(value); }
    TEndian Endian() const { return TEndian(std::uint8_t(values_[3])); }
    void setEndian(TEndian value) { values_[3] = std::uint32_t(value); }
    TEnableMode EnableMode() const { return TEnableMode(std::uint8_t(values_[4])); }
    void setEnableMode(TEnableMode value) { values_[4] = std::uint32_t(value); }
    std::int32_t Density() const { return std::int32_t(values_[5]); }
    void setDensity(std::int32_t value) { values_[5] = std::uint32_t(value); }
    bool Atapi() const { return values_[6] != 0; }
    void setAtapi(bool value) { values_[6] = value ? std::uint32_t(-1) : 0; }

    // The 28-byte block of the parameter record.
    void readFrom(const std::uint8_t* block);

private:
    std::array<std::uint32_t, 7> values_{};
};

struct TTrack {
    std::int32_t TrackNum = 0; // from 1
    std::int32_t StartSector = 0;
    std::int32_t EndSector = 0; // inclusive
    QString Kind;               // "Audio" or "Data"
};

// The ripper's failures, with the component's own English messages.
class ECDRIPError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The output file did not take what was written ("Write error"): `fileName` and the system's
// `reason` say which file and why. The partial file has been removed.
class ECDRIPWriteError : public ECDRIPError {
public:
    ECDRIPWriteError(const QString& fileName, const QString& reason)
        : ECDRIPError("Write error"), fileName_(fileName), reason_(reason) {}
    const QString& fileName() const { return fileName_; }
    const QString& reason() const { return reason_; }

private:
    QString fileName_;
    QString reason_;
};

// The encoder refused its settings ("Encoder failure"): nothing was ripped, no file made.
class ECDRIPEncoderError : public ECDRIPError {
public:
    ECDRIPEncoderError() : ECDRIPError("Encoder failure") {}
};

// Sectors first..last (inclusive) of a rip that could not be read: silence stands there.
struct SectorRun {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    bool operator==(const SectorRun&) const = default;
};

// "56-100, 230": the runs as a user reads them.
QString sectorRunsText(const std::vector<SectorRun>& runs);

// The CD ripper component: the tracks of the selected drive's disc, and the rip of a sector
// range into a file: raw PCM, a WAV file, or an MP3 file through the attached encoder. It runs
// on the window's thread; after every chunk it lets pending events run, which is how progress
// reaches the window and a click on stop reaches StopRip.
class TCDRIP {
public:
    // Reads the first table of contents. `trackWord` gives the word track titles start with,
    // asked each time the list is built so that titles follow the language of that moment.
    TCDRIP(CdRipLibrary& library, std::function<QString()> trackWord);
    TCDRIP(const TCDRIP&) = delete;
    TCDRIP& operator=(const TCDRIP&) = delete;

    TLameCoder* Coder() const { return coder_; }
    void setCoder(TLameCoder* coder);
    std::int32_t CDRomNum() const { return cdRomNum_; }
    // Selects drive `value` and reads its table of contents; the drive already selected is
    // left as it is.
    void setCDRomNum(std::int32_t value);
    TDriveTableClass& DriveTable() { return driveTable_; }
    TOutputFormat OutputFormat() const { return outputFormat_; }
    void setOutputFormat(TOutputFormat value);
    bool Encode() const { return encode_; }
    void setEncode(bool value) { encode_ = value; }
    bool WriteWAV() const { return writeWav_; }
    void setWriteWAV(bool value) { writeWav_ = value; }
    bool JitterCorrect() const { return jitterCorrect_; }
    void setJitterCorrect(bool value);
    QString Version() const { return version_; }
    void setVersion(const QString& value) { version_ = value; }
    std::int32_t Speed() const { return speed_; }
    void setSpeed(std::int32_t value) { speed_ = value; }

    std::function<void(TCDRIP*, std::uint16_t trackNum)> OnBeginTrack;
    std::function<void(TCDRIP*, std::uint16_t trackNum)> OnEndTrack;
    std::function<void(TCDRIP*, std::uint16_t percentComplete)> OnProgress;
    // Raised when a chunk comes with sectors that could not be read.
    std::function<void(TCDRIP*, const SectorRun& run)> OnUnreadableSectors;

    std::int32_t TrackCount() const { return trackCount_; }
    // The tracks with their titles, in table-of-contents order.
    const std::vector<std::pair<QString, TTrack>>& Tracks() const { return tracks_; }
    void clearTracks() {
        tracks_.clear();
        discText_ = {};
    }
    // The CD-Text of the disc the tracks are from; empty for a disc without.
    const DiscText& DiscTexts() const { return discText_; }
    std::int32_t JitterErrorCount() const { return jitterErrorCount_; }
    const QStringList& JitterLog() const { return jitterLog_; }
    // The sectors of the last rip that could not be read, in order, neighbours joined.
    const std::vector<SectorRun>& UnreadableSectors() const { return unreadable_; }
    // Whether a stop ended the last rip before the end of its range.
    bool CutShort() const { return cutShort_; }
    const std::array<std::uint8_t, CdRomParameters::kSize>& parameters() const {
        return parameters_;
    }

    void ReadTableOfContents();
    // Sets the encoder's input mode and rate from OutputFormat.
    void MatchCoderToFormat();
    bool ApplyParameters();
    // Rips track `trackNum` (from 1) into `fileName`, between OnBeginTrack and OnEndTrack.
    void RipTrack(int trackNum, const QString& fileName);
    // Rips sectors start..end (inclusive); with Encode on, into `fileName` with ".mp3".
    void RipSectors(std::int32_t start, std::int32_t end, const QString& fileName);
    void StopRip() { stopRequested_ = true; }

private:
    class RipFile;

    void readRecord();
    void buildTrackList();
    void ripLoop(RipFile& file, std::int32_t start, std::int32_t end, std::uint32_t chunkBytes);
    void noteUnreadableSectors();
    void saveJitterLog(const QString& fileName) const;

    CdRipLibrary& library_;
    std::function<QString()> trackWord_;
    TLameCoder* coder_ = nullptr;
    std::int32_t cdRomNum_ = 0;
    TDriveTableClass driveTable_;
    TOutputFormat outputFormat_ = TOutputFormat::STEREO44100;
    std::int32_t trackCount_ = 0;
    std::vector<std::pair<QString, TTrack>> tracks_;
    DiscText discText_;
    QStringList jitterLog_;
    std::vector<SectorRun> unreadable_;
    bool cutShort_ = false;
    std::int32_t jitterErrorCount_ = 0;
    bool jitterCorrect_ = true;
    bool encode_ = false;
    bool writeWav_ = false;
    bool stopRequested_ = false;
    std::int32_t speed_ = 0;
    QString version_;
    std::array<std::uint8_t, CdRomParameters::kSize> parameters_{};
};

// "Track 07": the title of track `number`, at least two digits.
QString trackTitle(const QString& trackWord, int number);

} // namespace fr
