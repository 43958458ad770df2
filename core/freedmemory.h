#ifndef FREEDMEMORY_H
#define FREEDMEMORY_H

// Gives the memory that the allocator holds free back to the system. For
// the end of a large job (an import, a report): the allocator keeps what
// such a job freed for later use, in every thread's arena, and the jobs
// that follow use far less.
void returnFreedMemory();

#endif
