#pragma once

#include "audio/BeConfig.h"
#include "audio/BeStreams.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

namespace fr {

enum class MPEG_QUALITY : std::uint32_t {
    NORMAL_QUALITY,
    LOW_QUALITY,
    HIGH_QUALITY,
    VOICE_QUALITY
};
enum class TLameMode : std::uint32_t { STEREO, JSTEREO, DUALCHANNEL, MONO };

// The component's booleans are 32-bit values: 0 is false, anything else true; the window
// stores true as -1 (all bits set).
using LongBool = std::int32_t;
inline constexpr LongBool kLongTrue = -1;

// The encoder library's version as the stream interface reports it.
struct TLameVersion {
    std::uint8_t DLLMajorVersion = 0;
    std::uint8_t DLLMinorVersion = 0;
    std::uint8_t MajorVersion = 0;
    std::uint8_t MinorVersion = 0;
};

// The MP3 encoder component: holds the encoding settings and drives one stream at a time
// through the stream interface. It writes no file itself: the ripper feeds it PCM chunks and
// writes what comes back.
//
// SampleRate and Mode describe the PCM that comes in (the ripper sets them from its output
// format). The MP3 itself may differ: OutputSampleRate resamples it and OutputMode picks its
// channel mode, so that a 22050 Hz mono choice in the settings gives a 22050 Hz mono MP3 of
// the right speed instead of stereo CD sound declared as something it is not.
class TLameCoder {
public:
    TLameCoder();

    // Copies every encoding setting of `source`; lists, DefaultExt, version and events stay.
    void Assign(const TLameCoder& source);

    std::uint32_t SampleRate() const { return sampleRate_; }
    void setSampleRate(std::uint32_t value) { sampleRate_ = value; }
    std::uint32_t Bitrate() const { return bitrate_; }
    void setBitrate(std::uint32_t value) { bitrate_ = value; }
    std::uint32_t MaxBitrate() const { return maxBitrate_; }
    void setMaxBitrate(std::uint32_t value) { maxBitrate_ = value; }
    MPEG_QUALITY Quality() const { return quality_; }
    void setQuality(MPEG_QUALITY value) { quality_ = value; }
    LongBool Private() const { return private_; }
    void setPrivate(LongBool value) { private_ = value; }
    LongBool CRC() const { return crc_; }
    void setCRC(LongBool value) { crc_ = value; }
    TLameMode Mode() const { return TLameMode(mode_); }
    void setMode(TLameMode value) { mode_ = std::uint32_t(value); }
    LongBool Copyright() const { return copyright_; }
    void setCopyright(LongBool value) { copyright_ = value; }
    LongBool Original() const { return original_; }
    void setOriginal(LongBool value) { original_ = value; }
    LongBool WriteVBRHeader() const { return writeVbrHeader_; }
    void setWriteVBRHeader(LongBool value) { writeVbrHeader_ = value; }
    LongBool EnableVBR() const { return enableVbr_; }
    // Variable bit rate always comes with its header, and goes without it.
    void setEnableVBR(LongBool value) { enableVbr_ = writeVbrHeader_ = value; }
    std::int32_t VBRQuality() const { return vbrQuality_; }
    void setVBRQuality(std::int32_t value) { vbrQuality_ = value; }

    // The MP3's own sample rate; 0 keeps SampleRate.
    std::uint32_t OutputSampleRate() const { return outputSampleRate_; }
    void setOutputSampleRate(std::uint32_t value) { outputSampleRate_ = value; }
    // The MP3's own channel mode; none keeps Mode.
    std::optional<TLameMode> OutputMode() const { return outputMode_; }
    void setOutputMode(std::optional<TLameMode> value) { outputMode_ = value; }

    const QStringList& InputFiles() const { return inputFiles_; }
    // Also rebuilds OutputFiles: each input name with its extension replaced by DefaultExt.
    void setInputFiles(const QStringList& value);
    const QStringList& OutputFiles() const { return outputFiles_; }
    void setOutputFiles(const QStringList& value) { outputFiles_ = value; }
    const TLameVersion& LameVersion() const { return lameVersion_; }
    QString DefaultExt() const { return defaultExt_; }
    void setDefaultExt(const QString& value) { defaultExt_ = value; }
    QString Mp3FileName() const { return mp3FileName_; }
    void setMp3FileName(const QString& value) { mp3FileName_ = value; }

    // Published for completeness; nothing in this program raises them.
    std::function<void(TLameCoder*)> OnBeginProcess;
    std::function<void(TLameCoder*, std::uint16_t num, const QString& fileName)> OnBeginFile;
    std::function<void(TLameCoder*, std::uint16_t num, const QString& fileName)> OnEndFile;
    std::function<void(TLameCoder*)> OnEndProcess;
    std::function<void(TLameCoder*, std::uint16_t percentComplete)> OnProgress;

    // Opens a stream with the current settings; 0 on success (also kept as LastResult).
    std::uint32_t InitStream();
    // Encodes SamplesPerChunk samples from `input` into `output` (OutputBufferSize bytes).
    std::uint32_t EncodeChunk(const std::int16_t* input, std::uint8_t* output,
                              std::uint32_t* outputLength);
    // Flushes the stream: its last frames and the empty ID3 version 1 area that ends it.
    std::uint32_t DeinitStream(std::uint8_t* output, std::uint32_t* outputLength);
    // After DeinitStream: the first frame in its final form, to be written over the stream's
    // first frame; length 0 when the stream has no VBR header.
    std::uint32_t InfoTag(std::uint8_t* output, std::uint32_t* outputLength);
    std::uint32_t CloseStream();

    std::uint32_t SamplesPerChunk() const { return samplesPerChunk_; }
    std::uint32_t OutputBufferSize() const { return outputBufferSize_; }
    std::uint32_t LastResult() const { return lastResult_; }
    // The record the last InitStream handed to the encoder.
    const be::Config& configuration() const { return config_; }

private:
    void fillConfiguration();

    std::uint32_t sampleRate_ = 44100;
    std::uint32_t bitrate_ = 128;
    std::uint32_t maxBitrate_ = 320;
    MPEG_QUALITY quality_ = MPEG_QUALITY::NORMAL_QUALITY;
    LongBool private_ = 0;
    LongBool crc_ = kLongTrue;
    std::uint32_t mode_ = 0;
    LongBool copyright_ = 0;
    LongBool original_ = 0;
    LongBool writeVbrHeader_ = 0;
    LongBool enableVbr_ = 0;
    std::int32_t vbrQuality_ = 4;
    std::uint32_t outputSampleRate_ = 0;
    std::optional<TLameMode> outputMode_;

    QStringList inputFiles_;
    QStringList outputFiles_;
    TLameVersion lameVersion_;
    QString defaultExt_ = QStringLiteral(".mp3");
    QString mp3FileName_;

    be::BeStreams streams_;
    be::Config config_{};
    std::uint32_t streamHandle_ = 0;
    std::uint32_t samplesPerChunk_ = 0;
    std::uint32_t outputBufferSize_ = 0;
    std::uint32_t lastResult_ = 0;
};

} // namespace fr
