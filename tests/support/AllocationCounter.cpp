#include "support/AllocationCounter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

std::atomic<bool> gCounting{false};
std::atomic<int64_t> gCount{0};
std::atomic<int64_t> gLive{0};
std::atomic<int64_t> gPeak{0};

void Note(void* p) {
    if (!p) return;
    if (gCounting.load(std::memory_order_relaxed)) gCount.fetch_add(1, std::memory_order_relaxed);
    const int64_t live = gLive += static_cast<int64_t>(malloc_usable_size(p));
    int64_t peak = gPeak.load(std::memory_order_relaxed);
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
}

// Every allocating form ends here; alignment 0 means the default one of malloc.
void* TryAllocate(std::size_t size, std::size_t alignment) noexcept {
    if (size == 0) size = 1;
    void* p = nullptr;
    if (alignment <= alignof(std::max_align_t)) {
        p = std::malloc(size);
    } else if (posix_memalign(&p, alignment, size) != 0) {
        p = nullptr;
    }
    Note(p);
    return p;
}

void* Allocate(std::size_t size, std::size_t alignment) {
    if (void* p = TryAllocate(size, alignment)) return p;
    throw std::bad_alloc();
}

void Free(void* p) noexcept {
    if (!p) return;
    gLive -= static_cast<int64_t>(malloc_usable_size(p));
    std::free(p);
}

} // namespace

namespace allocation_counter {

void SetCounting(bool on) {
    gCounting = on;
}
int64_t Count() {
    return gCount.load();
}
void ResetCount() {
    gCount = 0;
}
int64_t LiveBytes() {
    return gLive.load();
}
int64_t PeakBytes() {
    return gPeak.load();
}
void ResetPeak() {
    gPeak = gLive.load();
}

} // namespace allocation_counter

// clang-format off
void* operator new(std::size_t n) { return Allocate(n, 0); }
void* operator new[](std::size_t n) { return Allocate(n, 0); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return TryAllocate(n, 0); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return TryAllocate(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) { return Allocate(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return Allocate(n, static_cast<std::size_t>(a)); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return TryAllocate(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return TryAllocate(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete(void* p, std::align_val_t) noexcept { Free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { Free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { Free(p); }
// clang-format on
