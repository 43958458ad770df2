#ifndef READAHEAD_H
#define READAHEAD_H

#include "freedmemory.h"

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

// Slots filled in order on a thread of their own, up to `depth` ahead of the
// one in use, so that a slot slow to fill is made up for by the slots slow to
// use around it: with one slot ahead, each pair waited for the slower of the
// two. Filled in place, one at a time, at depth 0 or when no thread can be
// started.
template<class Slot>
class ReadAhead
{
public:
    // `fill` fills a slot and tells whether another may follow it.
    ReadAhead(int depth, std::function<bool(Slot &)> fill) : ring(std::size_t(std::max(depth, 1))), fill(std::move(fill))
    {
        try {
            if (depth > 0)
                filler = std::thread([this] { run(); });
        } catch (const std::system_error &) {
        }
    }
    ~ReadAhead()
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            stopping = true;
        }
        changed.notify_all();
        if (filler.joinable())
            filler.join();
        const FreeingToSystem freeing; // the slots, in the filler's heap
        ring.clear();
    }
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // The next slot, filled; it stays the caller's until the next call.
    // Call no more once a fill told that none follows.
    Slot &next()
    {
        if (!filler.joinable()) {
            fill(ring.front());
            return ring.front();
        }
        std::unique_lock<std::mutex> guard(lock);
        if (holding) {
            ++released;
            changed.notify_all();
        }
        changed.wait(guard, [this] { return filled > released; });
        holding = true;
        return ring[std::size_t(released % long(ring.size()))];
    }

private:
    void run()
    {
        for (long k = 0;; ++k) {
            {
                std::unique_lock<std::mutex> guard(lock);
                changed.wait(guard, [this, k] { return stopping || k - released < long(ring.size()); });
                if (stopping)
                    return;
            }
            const bool more = fill(ring[std::size_t(k % long(ring.size()))]);
            {
                std::lock_guard<std::mutex> guard(lock);
                filled = k + 1;
            }
            changed.notify_all();
            if (!more)
                return;
        }
    }

    std::vector<Slot> ring;
    const std::function<bool(Slot &)> fill;
    std::mutex lock;
    std::condition_variable changed;
    long filled = 0;   // ring filled so far, in order
    long released = 0; // ring given back by the caller
    bool holding = false;
    bool stopping = false;
    std::thread filler;
};

#endif
