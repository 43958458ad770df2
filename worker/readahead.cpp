#include "readahead.h"

#include "recorddatetime.h"

#include <chrono>
#include <sqlite3.h>

ReadAhead::ReadAhead(const QString &databasePath)
{
    // One thread uses it (an interrupt is safe from any): no mutex around each call.
    if (sqlite3_open_v2(databasePath.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        opening = QString::fromUtf8(sqlite3_errmsg(handle));
        return;
    }
    sqlite3_busy_timeout(handle, 5000);
    // The time index is on datetime(indate) as the walk's own connection computes it.
    registerRecordDatetime(handle);
    reader = std::thread([this] { run(); });
}

ReadAhead::~ReadAhead()
{
    stop();
    sqlite3_close_v2(handle);
}

void ReadAhead::stop()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopped = true;
    }
    changed.notify_all();
    if (handle)
        sqlite3_interrupt(handle);
    if (reader.joinable())
        reader.join();
}

void ReadAhead::request(std::function<bool()> read)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        requests.push_back(std::move(read));
    }
    changed.notify_all();
}

bool ReadAhead::waitForNext(const std::function<bool()> &cancelled)
{
    std::unique_lock<std::mutex> guard(lock);
    while (done.empty()) {
        if (cancelled() || stopped)
            return false;
        changed.wait_for(guard, std::chrono::milliseconds(20));
    }
    const bool read = done.front();
    done.pop_front();
    return read;
}

QString ReadAhead::error() const
{
    std::lock_guard<std::mutex> guard(lock);
    return failure;
}

void ReadAhead::run()
{
    for (;;) {
        std::function<bool()> read;
        {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard, [this] { return stopped || !requests.empty(); });
            if (stopped)
                return;
            read = std::move(requests.front());
            requests.pop_front();
        }
        const bool ok = read() && !stopped;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (!ok && failure.isEmpty())
                failure = QString::fromUtf8(sqlite3_errmsg(handle));
            done.push_back(ok);
        }
        changed.notify_all();
    }
}
