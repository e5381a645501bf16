#include "LargeBuffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <string_view>

namespace quarrow {

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;

// QUARROW_HUGE_PAGES=0 leaves them out, for measuring what they bring.
bool hugePagesWanted() {
    static const bool wanted = [] {
        const char* setting = std::getenv("QUARROW_HUGE_PAGES");
        return setting == nullptr || std::string_view(setting) != "0";
    }();
    return wanted;
}
}  // namespace

void* AllocateLargeBuffer(std::size_t bytes) {
    void* buffer = nullptr;
    if (bytes < kHugePage || !hugePagesWanted()) {
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
