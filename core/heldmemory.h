#ifndef HELDMEMORY_H
#define HELDMEMORY_H

// Has the allocator give large blocks and a free top of the heap back to
// the system at a fixed size. Called once, before any thread starts.
void limitHeldMemory();

#endif
