#pragma once

#include <cstdint>

namespace fr {

// The PCM formats the ripping library delivers: always 16-bit samples.
enum class TOutputFormat : std::uint8_t {
    STEREO44100,
    MONO44100,
    STEREO22050,
    MONO22050,
    STEREO11025,
    MONO11025
};

inline int channelsOf(TOutputFormat format) {
    return std::uint8_t(format) % 2 == 0 ? 2 : 1;
}

inline int sampleRateOf(TOutputFormat format) {
    return 44100 >> (std::uint8_t(format) / 2);
}

// Bytes of PCM one CD sector (1/75 s) gives in this format: 2352 for CD sound.
inline int bytesPerSectorOf(TOutputFormat format) {
    return channelsOf(format) * sampleRateOf(format) * 2 / 75;
}

} // namespace fr
