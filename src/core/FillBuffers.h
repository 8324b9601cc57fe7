#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace fr {

// The copy engines' buffers, sized once at start-up from the block size. They keep that
// size for the whole run, also when another block size is chosen on the settings page:
// a new size takes effect at the next start, and a fill block never reaches past its buffer.
struct FillBuffers {
    std::vector<std::uint8_t> readBuffer;
    std::vector<std::uint8_t> fillBufferZero;
    // Zero except bytes 1 to 4, which hold random values 0..254: a fill block that is easy
    // to find again in a rescued file.
    std::vector<std::uint8_t> fillBufferRandom;

    void setUp(std::uint8_t blockSizeField, std::mt19937& random);
    int blockBytes() const { return static_cast<int>(fillBufferZero.size()); }
};

} // namespace fr
