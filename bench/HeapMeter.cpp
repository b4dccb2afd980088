#include "HeapMeter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

// glibc's own entry points, under the names it exports for this purpose.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<bool> g_metering{false};
std::atomic<long long> g_current{0};
std::atomic<long long> g_peak{0};
std::atomic<long> g_allocations{0};

void Added(void* block)
{
    if (block == nullptr || !g_metering.load(std::memory_order_relaxed)) {
        return;
    }
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    const long long now = g_current.fetch_add(static_cast<long long>(malloc_usable_size(block)),
                                              std::memory_order_relaxed) +
                          static_cast<long long>(malloc_usable_size(block));
    long long peak = g_peak.load(std::memory_order_relaxed);
    while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

void Removed(void* block)
{
    if (block != nullptr && g_metering.load(std::memory_order_relaxed)) {
        g_current.fetch_sub(static_cast<long long>(malloc_usable_size(block)), std::memory_order_relaxed);
    }
}

} // namespace

extern "C" {

void* malloc(size_t size)
{
    void* block = __libc_malloc(size);
    Added(block);
    return block;
}

void* calloc(size_t count, size_t size)
{
    void* block = __libc_calloc(count, size);
    Added(block);
    return block;
}

void* realloc(void* block, size_t size)
{
    Removed(block);
    void* moved = __libc_realloc(block, size);
    // A failed realloc keeps the old block.
    Added(moved != nullptr || size == 0 ? moved : block);
    return moved;
}

void free(void* block)
{
    Removed(block);
    __libc_free(block);
}

void* memalign(size_t alignment, size_t size)
{
    void* block = __libc_memalign(alignment, size);
    Added(block);
    return block;
}

void* aligned_alloc(size_t alignment, size_t size)
{
    return memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size)
{
    void* block = memalign(alignment, size);
    if (block == nullptr) {
        return ENOMEM;
    }
    *out = block;
    return 0;
}

} // extern "C"

namespace kvorbench {

void StartHeapMeter()
{
    g_current.store(0);
    g_peak.store(0);
    g_allocations.store(0);
    g_metering.store(true);
}

size_t StopHeapMeter()
{
    g_metering.store(false);
    const long long peak = g_peak.load();
    return peak > 0 ? static_cast<size_t>(peak) : 0;
}

long MeteredAllocations()
{
    return g_allocations.load();
}

} // namespace kvorbench
