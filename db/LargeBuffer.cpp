#include "LargeBuffer.h"

#include <sys/mman.h>

#include <cstdlib>

namespace quarrow {

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;
}  // namespace

void* AllocateLargeBuffer(std::size_t bytes) {
    void* buffer = nullptr;
    if (bytes < kHugePage) {
        buffer = std::malloc(bytes == 0 ? 1 : bytes);
    } else {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        buffer = std::aligned_alloc(kHugePage, rounded);
        // Only advice: without huge pages the buffer works as any other.
        if (buffer != nullptr) madvise(buffer, rounded, MADV_HUGEPAGE);
    }
    if (buffer == nullptr) throw std::bad_alloc();
    return buffer;
}

void FreeLargeBuffer(void* buffer) noexcept { std::free(buffer); }

}  // namespace quarrow
