#ifndef READERTHREAD_H
#define READERTHREAD_H

#include <condition_variable>
#include <mutex>
#include <sqlite3.h>
#include <thread>

// Stops a thread that reads through `handle` and waits on `changed` under
// `lock`: says so, interrupts its statement and waits for it to end.
template<class Flag>
void stopReader(std::mutex &lock, Flag &stopping, std::condition_variable &changed, sqlite3 *handle, std::thread &reader)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    changed.notify_all();
    if (handle)
        sqlite3_interrupt(handle);
    if (reader.joinable())
        reader.join();
}

#endif
