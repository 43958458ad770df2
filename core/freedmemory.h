#ifndef FREEDMEMORY_H
#define FREEDMEMORY_H

// Fixes the allocator's limits for the whole process. Once at the start,
// before any thread.
void setAllocatorLimits();

// Gives the memory that the allocator holds free back to the system: in
// every thread's heap, and at the top of the calling thread's. For the end
// of a large job (an import, a report): the allocator keeps what such a job
// freed for later use, and the jobs that follow use far less.
void returnFreedMemory();

// While one exists, whatever is freed at the top of a thread's heap goes
// back to the system, in every thread. For freeing what a job's helper
// threads made once they have ended: the job's thread frees it into their
// heaps, whose tops returnFreedMemory() leaves alone.
class FreeingToSystem
{
public:
    FreeingToSystem();
    ~FreeingToSystem();
    FreeingToSystem(const FreeingToSystem &) = delete;
    FreeingToSystem &operator=(const FreeingToSystem &) = delete;
};

#endif
