#include "heldmemory.h"

#include <cstdlib> // defines __GLIBC__ where glibc is the C library
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Blocks from this size on are mapped apart and unmapped when freed; the
// heap keeps at most this much free at its top.
constexpr int HeldBytes = 4 << 20;

} // namespace

void limitHeldMemory()
{
#if defined(__GLIBC__)
    // glibc otherwise raises both limits to the largest block freed so far
    // (a report page's 16 MB buffer): the heap then keeps tens of MB that a
    // finished job no longer uses.
    mallopt(M_MMAP_THRESHOLD, HeldBytes);
    mallopt(M_TRIM_THRESHOLD, HeldBytes);
#endif
}
