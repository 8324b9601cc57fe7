#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace fr {

// Memory aligned for O_DIRECT transfers, freed when it goes out of scope.
struct AlignedBufferDeleter {
    void operator()(std::uint8_t* memory) const { std::free(memory); }
};
using AlignedBuffer = std::unique_ptr<std::uint8_t, AlignedBufferDeleter>;

// Empty when the memory cannot be had.
inline AlignedBuffer allocateAligned(std::size_t bytes, std::size_t alignment = 4096) {
    void* memory = nullptr;
    if (posix_memalign(&memory, alignment, bytes ? bytes : alignment) != 0)
        return {};
    return AlignedBuffer(static_cast<std::uint8_t*>(memory));
}

} // namespace fr
