// A global allocator that counts every heap allocation, for benchmarks that must prove a path
// allocates nothing. Include it in exactly one file of a benchmark program: it replaces the
// program's operator new and delete.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace vorna::bench {

inline std::atomic<std::size_t> g_heapAllocations{0};

inline std::size_t heapAllocations()
{
    return g_heapAllocations.load(std::memory_order_relaxed);
}

inline void* countedAllocation(std::size_t size)
{
    g_heapAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

inline void* countedAlignedAllocation(std::size_t size, std::align_val_t alignment)
{
    g_heapAllocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t align = static_cast<std::size_t>(alignment);
    if (void* p = std::aligned_alloc(align, (std::max<std::size_t>(size, 1) + align - 1) / align * align))
        return p;
    throw std::bad_alloc();
}

} // namespace vorna::bench

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
