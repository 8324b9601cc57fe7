#include "audio/EncoderSettings.h"

#include <array>
#include <cstddef>
#include <functional>

namespace fr {

namespace {

template <std::size_t N>
void choose(const std::array<std::uint32_t, N>& choices, std::uint8_t field,
            const std::function<void(std::uint32_t)>& set) {
    if (field < N)
        set(choices[field]);
}

} // namespace

void applyEncoderSettings(const Settings& settings, TLameCoder& encoder) {
    choose(std::array<std::uint32_t, 6>{96, 128, 160, 192, 256, 320}, settings.mp3Bitrate,
           [&](std::uint32_t rate) { encoder.setBitrate(rate); });
    choose(std::array<std::uint32_t, 4>{160, 192, 256, 320}, settings.mp3MaxBitrate,
           [&](std::uint32_t rate) { encoder.setMaxBitrate(rate); });
    choose(std::array<std::uint32_t, 3>{22050, 32000, 44100}, settings.mp3SampleRate,
           [&](std::uint32_t rate) { encoder.setOutputSampleRate(rate); });
    encoder.setEnableVBR(settings.mp3Vbr == 1 ? kLongTrue : 0);
    encoder.setOutputMode(settings.mp3Stereo == 1 ? TLameMode::STEREO : TLameMode::MONO);
}

} // namespace fr
