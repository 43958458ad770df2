#include "freedmemory.h"

#include <cstdlib> // defines __GLIBC__ where glibc is the C library
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
