#pragma once

#include <cstddef>
#include <new>

namespace quarrow {

// Memory for buffers that may grow to many megabytes, such as a result's
// values. Large blocks are asked of the system in huge pages where it offers
// them: filling a 32 MB buffer then takes sixteen page faults instead of
// eight thousand, and on a virtual machine each fault is expensive.
void* AllocateLargeBuffer(std::size_t bytes);
// `bytes` as it was asked for.
void FreeLargeBuffer(void* buffer, std::size_t bytes) noexcept;

// Grows the heap by nearly `bytes` in one step and asks for huge pages over
// it, so that what is allocated next fills a few huge pages instead of
// touching hundreds of small ones. Start-up builds its windows there.
// Returns whether it did; it does not where huge pages are not to be had,
// where the allocator is not glibc's (a sanitizer's, for one) or with
// QUARROW_HUGE_PAGES=0.
bool ReserveHeapInHugePages(std::size_t bytes);

template <typename T>
struct LargeBufferAllocator {
    using value_type = T;

    LargeBufferAllocator() = default;
    template <typename U>
    explicit LargeBufferAllocator(const LargeBufferAllocator<U>&) {}

    T* allocate(std::size_t n) { return static_cast<T*>(AllocateLargeBuffer(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { FreeLargeBuffer(p, n * sizeof(T)); }

    friend bool operator==(const LargeBufferAllocator&, const LargeBufferAllocator&) {
        return true;
    }
    friend bool operator!=(const LargeBufferAllocator&, const LargeBufferAllocator&) {
        return false;
    }
};

}  // namespace quarrow
