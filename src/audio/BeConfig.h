#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fr::be {

// The stream interface's configuration record: 331 bytes, little-endian 32-bit fields at
// fixed offsets, the rest reserved. Callers fill it byte for byte, so its layout is the
// contract, not a C++ struct.
inline constexpr std::uint32_t kConfigFormatLame = 256;
inline constexpr std::uint32_t kConfigVersion = 1;
inline constexpr std::size_t kConfigSize = 331;

enum ConfigOffset : std::size_t {
    kFormat = 0,
    kVersion = 4,
    kStructSize = 8,
    kSampleRate = 12,   // of the PCM handed in
    kReSampleRate = 16, // of the MP3; 0 = as the input
    kMode = 20,         // channel mode; mono means mono PCM comes in
    kBitrate = 24,
    kMaxBitrate = 28,
    kQuality = 32,
    kMpegVersion = 36,
    kPsyModel = 40,
    kEmphasis = 44,
    kPrivate = 48,
    kCrc = 52,
    kCopyright = 56,
    kOriginal = 60,
    kWriteVbrHeader = 64,
    kEnableVbr = 68,
    kVbrQuality = 72,
    // First reserved field. When not zero, the MP3's own channel mode plus one, so that
    // stereo PCM can become a mono MP3 (and back); zero keeps `kMode` for both.
    kOutputMode = 76,
};

enum ChannelMode : std::uint32_t { kStereo = 0, kJointStereo = 1, kDualChannel = 2, kMono = 3 };

using Config = std::array<std::uint8_t, kConfigSize>;

inline std::uint32_t field(const std::uint8_t* config, std::size_t offset) {
    return std::uint32_t(config[offset]) | std::uint32_t(config[offset + 1]) << 8 |
           std::uint32_t(config[offset + 2]) << 16 | std::uint32_t(config[offset + 3]) << 24;
}

inline void setField(Config& config, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        config[offset + i] = std::uint8_t(value >> (8 * i));
}

// Results of the stream calls.
enum Result : std::uint32_t {
    kSuccessful = 0,
    kInvalidFormat = 1,
    kInvalidFormatParameters = 2,
    kNoMoreHandles = 3,
    kInvalidHandle = 4,
    kBufferTooSmall = 5,
};

// What beVersion reports. Only the first four bytes are read by the coder component.
struct Version {
    std::uint8_t dllMajorVersion = 0;
    std::uint8_t dllMinorVersion = 0;
    std::uint8_t majorVersion = 0;
    std::uint8_t minorVersion = 0;
    std::uint8_t day = 0;
    std::uint8_t month = 0;
    std::uint16_t year = 0;
    char homepage[129] = {};
};

} // namespace fr::be
