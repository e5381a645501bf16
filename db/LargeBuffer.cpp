#include "LargeBuffer.h"

#include <QtGlobal>
#include <cstdlib>
#include <string_view>

#if !defined(Q_OS_WIN)
#include <sys/mman.h>
#endif

namespace quarrow {

#if defined(Q_OS_WIN)

// Windows gives large pages only to accounts holding the right to lock
// memory, which a desktop user does not; and its heap already takes blocks
// of this size straight from the system, which backs each page only when it
// is first touched. A plain allocation is the best there is.
void* AllocateLargeBuffer(std::size_t bytes) {
    void* buffer = std::malloc(bytes == 0 ? 1 : bytes);
    if (buffer == nullptr) throw std::bad_alloc();
    return buffer;
}

#else

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

#endif

void FreeLargeBuffer(void* buffer) noexcept { std::free(buffer); }

}  // namespace quarrow
