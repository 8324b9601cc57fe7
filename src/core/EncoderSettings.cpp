#include "core/EncoderSettings.h"

#include <array>
#include <cstddef>

namespace fr {

namespace {

template <std::size_t N>
void choose(const std::array<int, N>& choices, std::uint8_t field, int& option) {
    if (field < N)
        option = choices[field];
}

} // namespace

void applyEncoderSettings(const Settings& settings, Mp3EncoderOptions& encoder) {
    choose(std::array{96, 128, 160, 192, 256, 320}, settings.mp3Bitrate, encoder.bitrate);
    choose(std::array{160, 192, 256, 320}, settings.mp3MaxBitrate, encoder.maxBitrate);
    choose(std::array{22050, 32000, 44100}, settings.mp3SampleRate, encoder.sampleRate);
    encoder.vbr = settings.mp3Vbr == 1;
    encoder.vbrHeader = settings.mp3Vbr == 1;
    encoder.stereo = settings.mp3Stereo == 1;
}

} // namespace fr
