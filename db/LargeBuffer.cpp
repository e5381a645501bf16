#include "LargeBuffer.h"

#include <QtGlobal>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#if !defined(Q_OS_WIN)
#include <sys/mman.h>
#include <unistd.h>
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

void FreeLargeBuffer(void* buffer, std::size_t) noexcept { std::free(buffer); }

bool ReserveHeapInHugePages(std::size_t) { return false; }

#else

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kPage = 4096;

std::uintptr_t HeapEnd() { return reinterpret_cast<std::uintptr_t>(sbrk(0)); }

// QUARROW_HUGE_PAGES=0 leaves them out, for measuring what they bring.
bool hugePagesWanted() {
    static const bool wanted = [] {
        const char* setting = std::getenv("QUARROW_HUGE_PAGES");
        return setting == nullptr || std::string_view(setting) != "0";
    }();
    return wanted;
}

// Sizes and addresses alike.
std::uintptr_t RoundedToHugePages(std::uintptr_t value) {
    return (value + kHugePage - 1) / kHugePage * kHugePage;
}

bool MappedApart(std::size_t bytes) { return bytes >= kHugePage && hugePagesWanted(); }
}  // namespace

void* AllocateLargeBuffer(std::size_t bytes) {
    if (!MappedApart(bytes)) {
        void* buffer = std::malloc(bytes == 0 ? 1 : bytes);
        if (buffer == nullptr) throw std::bad_alloc();
        return buffer;
    }
    // Mapped apart from malloc's heap: a buffer that grows by doubling
    // would leave its smaller copies as holes there once start-up has
    // raised malloc's threshold for separate mappings. Over-sized by one
    // huge page, then cut to an aligned start.
    const std::size_t rounded = RoundedToHugePages(bytes);
    void* mapped = mmap(nullptr, rounded + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = RoundedToHugePages(begin);
    if (aligned > begin) munmap(mapped, aligned - begin);
    const std::uintptr_t end = begin + rounded + kHugePage;
    if (end > aligned + rounded) {
        munmap(reinterpret_cast<void*>(aligned + rounded), end - (aligned + rounded));
    }
    // Only advice: without huge pages the buffer works as any other.
    madvise(reinterpret_cast<void*>(aligned), rounded, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void FreeLargeBuffer(void* buffer, std::size_t bytes) noexcept {
    if (MappedApart(bytes)) {
        munmap(buffer, RoundedToHugePages(bytes));
    } else {
        std::free(buffer);
    }
}

bool ReserveHeapInHugePages(std::size_t bytes) {
#if defined(__GLIBC__)
    if (!hugePagesWanted() || bytes < 2 * kHugePage) return false;
    // glibc maps a block of its own for a request above its threshold, and
    // once such a block is freed raises the threshold to its size, and the
    // size at which the heap's free top is given back to twice that
    // (mallopt(3)); any program that frees a large block gets the same. A
    // block just below that size then comes from the heap, which grows by it
    // in one step; freed, it stays at the heap's top and is handed out again
    // piece by piece. The pointers are volatile so that the compiler keeps
    // allocations that nothing reads.
    void* volatile mapped = std::malloc(bytes);
    std::free(mapped);
    const std::uintptr_t heapEndBefore = HeapEnd();
    void* volatile block = std::malloc(bytes - kPage);
    const std::uintptr_t heapEndAfter = HeapEnd();
    const auto first = reinterpret_cast<std::uintptr_t>(block);
    const bool fromHeap = block != nullptr && heapEndAfter > heapEndBefore && first < heapEndAfter;
    if (fromHeap) {
        const std::uintptr_t start = RoundedToHugePages(first);
        const std::uintptr_t end = (first + bytes - kPage) / kHugePage * kHugePage;
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
    std::free(block);
    return fromHeap;
#else
    (void)bytes;
    return false;
#endif
}

#endif

}  // namespace quarrow
