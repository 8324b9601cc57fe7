#include "audio/WavHeader.h"

#include <cstring>

namespace fr {

namespace {

void put(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = std::uint8_t(value >> (8 * i));
}

} // namespace

std::array<std::uint8_t, kWavHeaderSize> wavHeader(int channels, int sampleRate,
                                                   std::uint32_t dataBytes) {
    std::array<std::uint8_t, kWavHeaderSize> header{};
    std::uint8_t* h = header.data();
    std::memcpy(h, "RIFF", 4);
    put(h + 4, dataBytes + 36, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put(h + 16, 16, 4);
    put(h + 20, 1, 2);
    put(h + 22, std::uint32_t(channels), 2);
    put(h + 24, std::uint32_t(sampleRate), 4);
    put(h + 28, std::uint32_t(channels * sampleRate * 2), 4);
    put(h + 32, std::uint32_t(channels * 2), 2);
    put(h + 34, 16, 2);
    std::memcpy(h + 36, "data", 4);
    put(h + 40, dataBytes, 4);
    return header;
}

} // namespace fr
