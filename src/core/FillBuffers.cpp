#include "core/FillBuffers.h"

#include "core/Settings.h"

namespace fr {

void FillBuffers::setUp(std::uint8_t blockSizeField, std::mt19937& random) {
    const size_t bytes = static_cast<size_t>(Settings::blockBytes(blockSizeField));
    readBuffer.assign(bytes, 0);
    fillBufferZero.assign(bytes, 0);
    fillBufferRandom.assign(bytes, 0);
    std::uniform_int_distribution<int> byte(0, 254);
    for (size_t i = 1; i <= 4; ++i)
        fillBufferRandom[i] = static_cast<std::uint8_t>(byte(random));
}

} // namespace fr
