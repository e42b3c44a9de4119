// A global allocator that counts every heap allocation, for benchmarks that must prove a path
// allocates nothing. Include it in exactly one file of a benchmark program: it replaces the
// program's operator new and delete, and puts a counter in front of the C library's malloc,
// calloc and realloc (glibc's own entry points behind them), which libraries such as Qt use for
// their buffers.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include <pthread.h>

namespace vorna::bench {

inline std::atomic<std::size_t> g_heapAllocations{0}; // operator new
inline std::atomic<std::size_t> g_cAllocations{0};    // malloc, calloc, realloc
// Allocations made by one chosen thread (for example a hook thread the benchmark does not run),
// and those it made while a byte of its own state was non-zero (for example inside a callback).
inline std::atomic<pthread_t> g_watchedThread{};
inline std::atomic<const std::uint8_t*> g_watchedFlag{nullptr};
inline std::atomic<std::size_t> g_watchedAllocations{0};
inline std::atomic<std::size_t> g_flaggedAllocations{0};

inline std::size_t heapAllocations()
{
    return g_heapAllocations.load(std::memory_order_relaxed);
}

inline std::size_t cAllocations()
{
    return g_cAllocations.load(std::memory_order_relaxed);
}

// Both kinds: for paths that must not touch the heap at all.
inline std::size_t allAllocations()
{
    return heapAllocations() + cAllocations();
}

// `flag` is read only by the watched thread itself.
inline void watchThread(pthread_t thread, const std::uint8_t* flag = nullptr)
{
    g_watchedFlag.store(flag, std::memory_order_relaxed);
    g_watchedThread.store(thread, std::memory_order_relaxed);
}

inline std::size_t watchedAllocations()
{
    return g_watchedAllocations.load(std::memory_order_relaxed);
}

inline std::size_t flaggedAllocations()
{
    return g_flaggedAllocations.load(std::memory_order_relaxed);
}

// Either kind counts for the watched thread.
inline void countAllocation(std::atomic<std::size_t>& kind)
{
    kind.fetch_add(1, std::memory_order_relaxed);
    if (!pthread_equal(pthread_self(), g_watchedThread.load(std::memory_order_relaxed)))
        return;
    g_watchedAllocations.fetch_add(1, std::memory_order_relaxed);
    const std::uint8_t* flag = g_watchedFlag.load(std::memory_order_relaxed);
    if (flag && *flag)
        g_flaggedAllocations.fetch_add(1, std::memory_order_relaxed);
}

} // namespace vorna::bench

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
}

namespace vorna::bench {

inline void* countedAllocation(std::size_t size)
{
    countAllocation(g_heapAllocations);
    if (void* p = __libc_malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

inline void* countedAlignedAllocation(std::size_t size, std::align_val_t alignment)
{
    countAllocation(g_heapAllocations);
    const std::size_t align = static_cast<std::size_t>(alignment);
    if (void* p = std::aligned_alloc(align, (std::max<std::size_t>(size, 1) + align - 1) / align * align))
        return p;
    throw std::bad_alloc();
}

} // namespace vorna::bench

extern "C" void* malloc(std::size_t size) noexcept
{
    vorna::bench::countAllocation(vorna::bench::g_cAllocations);
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) noexcept
{
    vorna::bench::countAllocation(vorna::bench::g_cAllocations);
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, std::size_t size) noexcept
{
    vorna::bench::countAllocation(vorna::bench::g_cAllocations);
    return __libc_realloc(p, size);
}

void* operator new(std::size_t size) { return vorna::bench::countedAllocation(size); }
void* operator new[](std::size_t size) { return vorna::bench::countedAllocation(size); }
void* operator new(std::size_t size, std::align_val_t a) { return vorna::bench::countedAlignedAllocation(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return vorna::bench::countedAlignedAllocation(size, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
