#include "freedmemory.h"

#include <cstdlib> // defines __GLIBC__ where glibc is the C library
#include <mutex>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// The limits glibc reaches by itself once a buffer of 32 MB has been freed:
// buffers below that size come from the heaps, where they are quick to
// reuse, and a heap keeps up to twice that free at its top.
constexpr int MmapThreshold = 32 * 1024 * 1024;
constexpr int TrimThreshold = 2 * MmapThreshold;

std::mutex g_freeingLock;
int g_freeing = 0; // FreeingToSystem guards alive

} // namespace

void setAllocatorLimits()
{
#if defined(__GLIBC__)
    // Set rather than raised on the way: once the program sets one limit,
    // as FreeingToSystem does, glibc raises neither.
    mallopt(M_MMAP_THRESHOLD, MmapThreshold);
    mallopt(M_TRIM_THRESHOLD, TrimThreshold);
#endif
}

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0); // every heap's free chunks, and the main heap's top
    const FreeingToSystem freeing;
    // Freeing a chunk of 64 kB or more has glibc trim the top of the heap
    // that the chunk came from: this thread's.
    void *volatile chunk = std::malloc(128 * 1024);
    std::free(chunk);
#endif
}

FreeingToSystem::FreeingToSystem()
{
#if defined(__GLIBC__)
    std::lock_guard<std::mutex> guard(g_freeingLock);
    if (g_freeing++ == 0)
        mallopt(M_TRIM_THRESHOLD, 0);
#endif
}

FreeingToSystem::~FreeingToSystem()
{
#if defined(__GLIBC__)
    std::lock_guard<std::mutex> guard(g_freeingLock);
    if (--g_freeing == 0)
        mallopt(M_TRIM_THRESHOLD, TrimThreshold);
#endif
}
