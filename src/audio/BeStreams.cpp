#include "audio/BeStreams.h"

#include <algorithm>
#include <cstdio>
#include <lame/lame.h>

namespace fr::be {

namespace {

// An ID3 version 1 area with every field empty and no genre.
constexpr std::size_t kId3v1Size = 128;

void putEmptyId3v1(std::uint8_t* output) {
    std::fill(output, output + kId3v1Size, 0);
    std::copy_n("TAG", 3, output);
    output[kId3v1Size - 1] = 255;
}

MPEG_mode lameMode(std::uint32_t mode) {
    switch (mode) {
    case kJointStereo:
        return JOINT_STEREO;
    case kDualChannel:
        return DUAL_CHANNEL;
    case kMono:
        return MONO;
    default:
        return STEREO;
    }
}

int lameQuality(std::uint32_t quality) {
    // normal, low, high, voice
    constexpr int levels[] = {5, 7, 2, 5};
    return quality < 4 ? levels[quality] : 5;
}

} // namespace

struct Stream {
    ~Stream() { lame_close(flags); }

    lame_global_flags* flags = nullptr;
    int inputChannels = 2;
    std::uint32_t samplesPerChunk = 0;
    std::uint32_t bufferSize = 0;
    bool infoTag = false;
};

BeStreams::BeStreams() = default;
BeStreams::~BeStreams() = default;

void BeStreams::beVersion(Version* version) {
    lame_version_t lame{};
    get_lame_version_numerical(&lame);
    *version = Version{};
    version->dllMajorVersion = std::uint8_t(lame.major);
    version->dllMinorVersion = std::uint8_t(lame.minor);
    version->majorVersion = std::uint8_t(lame.major);
    version->minorVersion = std::uint8_t(lame.minor);
    std::snprintf(version->homepage, sizeof version->homepage, "%s", get_lame_url());
}

Result BeStreams::beInitStream(const std::uint8_t* config, std::uint32_t* samples,
                               std::uint32_t* bufferSize, std::uint32_t* handle) {
    if (field(config, kFormat) != kConfigFormatLame || field(config, kVersion) < kConfigVersion ||
        field(config, kStructSize) < kConfigSize)
        return kInvalidFormat;
    // PCM without a rate: libmp3lame would take it for 44100 Hz and make sound of the wrong
    // speed.
    if (field(config, kSampleRate) == 0)
        return kInvalidFormatParameters;

    auto stream = std::make_unique<Stream>();
    stream->flags = lame_init();
    if (!stream->flags)
        return kInvalidFormatParameters;
    lame_global_flags* gf = stream->flags;

    const std::uint32_t inputMode = field(config, kMode);
    const std::uint32_t outputField = field(config, kOutputMode);
    stream->inputChannels = inputMode == kMono ? 1 : 2;
    // Mono PCM can only make a mono MP3 here; stereo PCM makes either.
    const std::uint32_t outputMode =
        stream->inputChannels == 1 ? kMono : (outputField != 0 ? outputField - 1 : inputMode);

    lame_set_in_samplerate(gf, int(field(config, kSampleRate)));
    lame_set_num_channels(gf, stream->inputChannels);
    if (const std::uint32_t rate = field(config, kReSampleRate); rate != 0)
        lame_set_out_samplerate(gf, int(rate));
    lame_set_mode(gf, lameMode(outputMode));
    lame_set_quality(gf, lameQuality(field(config, kQuality)));
    lame_set_extension(gf, field(config, kPrivate) != 0);
    lame_set_error_protection(gf, field(config, kCrc) != 0);
    lame_set_copyright(gf, field(config, kCopyright) != 0);
    lame_set_original(gf, field(config, kOriginal) != 0);
    if (field(config, kEnableVbr) != 0) {
        lame_set_VBR(gf, vbr_default);
        lame_set_VBR_q(gf, std::clamp(int(field(config, kVbrQuality)), 0, 9));
        lame_set_VBR_min_bitrate_kbps(gf, int(field(config, kBitrate)));
        lame_set_VBR_max_bitrate_kbps(gf, int(field(config, kMaxBitrate)));
    } else {
        lame_set_VBR(gf, vbr_off);
        lame_set_brate(gf, int(field(config, kBitrate)));
    }
    stream->infoTag = field(config, kWriteVbrHeader) != 0;
    lame_set_bWriteVbrTag(gf, stream->infoTag);
    // The tag area is written by this layer at the flush, empty, whatever libmp3lame thinks.
    lame_set_write_id3tag_automatic(gf, 0);
    if (lame_init_params(gf) < 0)
        return kInvalidFormatParameters;

    const auto frame = std::uint32_t(lame_get_framesize(gf));
    stream->samplesPerChunk = frame * std::uint32_t(stream->inputChannels);
    // libmp3lame's own bound for one call (1.25 x samples + 7200), and room for the tag area
    // after a flush; input samples at a higher output rate count up.
    const auto inRate = std::uint32_t(std::max(1, lame_get_in_samplerate(gf)));
    const auto outRate = std::uint32_t(lame_get_out_samplerate(gf));
    const std::uint32_t outFrames =
        frame * std::max<std::uint32_t>(1, (outRate + inRate - 1) / inRate);
    stream->bufferSize = outFrames * 5 / 4 + 7200 + kId3v1Size;

    *samples = stream->samplesPerChunk;
    *bufferSize = stream->bufferSize;
    *handle = nextHandle_++;
    streams_.emplace(*handle, std::move(stream));
    return kSuccessful;
}

Stream* BeStreams::find(std::uint32_t handle) const {
    const auto found = streams_.find(handle);
    return found == streams_.end() ? nullptr : found->second.get();
}

Result BeStreams::beEncodeChunk(std::uint32_t handle, std::uint32_t samples,
                                const std::int16_t* input, std::uint8_t* output,
                                std::uint32_t* outputBytes) {
    *outputBytes = 0;
    Stream* stream = find(handle);
    if (!stream)
        return kInvalidHandle;
    const int frames = int(samples) / stream->inputChannels;
    const int written =
        stream->inputChannels == 1
            ? lame_encode_buffer(stream->flags, input, input, frames, output,
                                 int(stream->bufferSize))
            : lame_encode_buffer_interleaved(stream->flags, const_cast<short*>(input), frames,
                                             output, int(stream->bufferSize));
    if (written < 0)
        return written == -1 ? kBufferTooSmall : kInvalidFormatParameters;
    *outputBytes = std::uint32_t(written);
    return kSuccessful;
}

Result BeStreams::beDeinitStream(std::uint32_t handle, std::uint8_t* output,
                                 std::uint32_t* outputBytes) {
    *outputBytes = 0;
    Stream* stream = find(handle);
    if (!stream)
        return kInvalidHandle;
    const int written =
        lame_encode_flush(stream->flags, output, int(stream->bufferSize - kId3v1Size));
    if (written < 0)
        return kBufferTooSmall;
    putEmptyId3v1(output + written);
    *outputBytes = std::uint32_t(written) + kId3v1Size;
    return kSuccessful;
}

Result BeStreams::beGetInfoTag(std::uint32_t handle, std::uint8_t* output, std::uint32_t* bytes) {
    *bytes = 0;
    Stream* stream = find(handle);
    if (!stream)
        return kInvalidHandle;
    if (!stream->infoTag)
        return kSuccessful;
    const std::size_t size = lame_get_lametag_frame(stream->flags, output, stream->bufferSize);
    if (size > stream->bufferSize)
        return kBufferTooSmall;
    *bytes = std::uint32_t(size);
    return kSuccessful;
}

Result BeStreams::beCloseStream(std::uint32_t handle) {
    return streams_.erase(handle) == 1 ? kSuccessful : kInvalidHandle;
}

} // namespace fr::be
