#include "audio/TLameCoder.h"

#include "audio/FileExtension.h"

namespace fr {

TLameCoder::TLameCoder() {
    be::Version version;
    be::BeStreams::beVersion(&version);
    lameVersion_ = {version.dllMajorVersion, version.dllMinorVersion, version.majorVersion,
                    version.minorVersion};
}

void TLameCoder::Assign(const TLameCoder& source) {
    sampleRate_ = source.sampleRate_;
    bitrate_ = source.bitrate_;
    maxBitrate_ = source.maxBitrate_;
    quality_ = source.quality_;
    private_ = source.private_;
    crc_ = source.crc_;
    mode_ = source.mode_;
    copyright_ = source.copyright_;
    original_ = source.original_;
    writeVbrHeader_ = source.writeVbrHeader_;
    enableVbr_ = source.enableVbr_;
    vbrQuality_ = source.vbrQuality_;
    outputSampleRate_ = source.outputSampleRate_;
    outputMode_ = source.outputMode_;
}

void TLameCoder::setInputFiles(const QStringList& value) {
    inputFiles_ = value;
    outputFiles_.clear();
    for (const QString& name : inputFiles_)
        outputFiles_.append(changeFileExt(name, defaultExt_));
}

void TLameCoder::fillConfiguration() {
    using namespace be;
    config_.fill(0);
    setField(config_, kFormat, kConfigFormatLame);
    setField(config_, kVersion, kConfigVersion);
    setField(config_, kStructSize, kConfigSize);
    setField(config_, kSampleRate, sampleRate_);
    setField(config_, kReSampleRate, outputSampleRate_);
    setField(config_, kMode, mode_);
    setField(config_, kBitrate, bitrate_);
    setField(config_, kMaxBitrate, maxBitrate_);
    setField(config_, kQuality, std::uint32_t(quality_));
    setField(config_, kMpegVersion, 1);
    setField(config_, kPrivate, std::uint32_t(private_));
    setField(config_, kCrc, std::uint32_t(crc_));
    setField(config_, kCopyright, std::uint32_t(copyright_));
    setField(config_, kOriginal, std::uint32_t(original_));
    setField(config_, kWriteVbrHeader, std::uint32_t(writeVbrHeader_));
    setField(config_, kEnableVbr, std::uint32_t(enableVbr_));
    setField(config_, kVbrQuality, std::uint32_t(vbrQuality_));
    if (outputMode_)
        setField(config_, kOutputMode, std::uint32_t(*outputMode_) + 1);
}

std::uint32_t TLameCoder::InitStream() {
    fillConfiguration();
    lastResult_ = streams_.beInitStream(config_.data(), &samplesPerChunk_, &outputBufferSize_,
                                        &streamHandle_);
    return lastResult_;
}

std::uint32_t TLameCoder::EncodeChunk(const std::int16_t* input, std::uint8_t* output,
                                      std::uint32_t* outputLength) {
    return streams_.beEncodeChunk(streamHandle_, samplesPerChunk_, input, output, outputLength);
}

std::uint32_t TLameCoder::DeinitStream(std::uint8_t* output, std::uint32_t* outputLength) {
    return streams_.beDeinitStream(streamHandle_, output, outputLength);
}

std::uint32_t TLameCoder::InfoTag(std::uint8_t* output, std::uint32_t* outputLength) {
    return streams_.beGetInfoTag(streamHandle_, output, outputLength);
}

std::uint32_t TLameCoder::CloseStream() {
    return streams_.beCloseStream(streamHandle_);
}

} // namespace fr
