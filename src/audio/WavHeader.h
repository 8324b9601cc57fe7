#pragma once

#include <array>
#include <cstdint>

namespace fr {

inline constexpr std::uint32_t kWavHeaderSize = 44;

// The 44-byte header of a PCM WAV file of 16-bit samples holding `dataBytes` of sound.
std::array<std::uint8_t, kWavHeaderSize> wavHeader(int channels, int sampleRate,
                                                   std::uint32_t dataBytes);

} // namespace fr
