#include "recordprefetch.h"

#include "recorddatetime.h"
#include "windowrecords.h"

#include <chrono>
#include <sqlite3.h>

RecordPrefetch::RecordPrefetch(const QString &databasePath, const MeterFamily &family, const QString &column)
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
    records = std::make_unique<NativeWindowRecords>(handle, family, column);
    if (!records->ok()) {
        opening = records->error();
        return;
    }
    reader = std::thread([this] { run(); });
}

RecordPrefetch::~RecordPrefetch()
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
    records.reset();
    sqlite3_close(handle);
}

void RecordPrefetch::request(const Range &range)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        requests.push_back(range);
    }
    changed.notify_all();
}

bool RecordPrefetch::take(QList<ExcursionPoint> *points, bool *byRowid, const std::function<bool()> &cancelled)
{
    std::unique_lock<std::mutex> guard(lock);
    while (results.empty()) {
        if (cancelled())
            return false;
        changed.wait_for(guard, std::chrono::milliseconds(20));
    }
    Result result = std::move(results.front());
    results.pop_front();
    *points = std::move(result.points);
    *byRowid = result.byRowid;
    return result.read;
}

QString RecordPrefetch::error() const
{
    std::lock_guard<std::mutex> guard(lock);
    return failure;
}

void RecordPrefetch::run()
{
    for (;;) {
        Range range;
        {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard, [this] { return stopping || !requests.empty(); });
            if (stopping)
                return;
            range = requests.front();
            requests.pop_front();
        }
        Result result;
        result.read = read(range, &result.points, &result.byRowid);
        {
            std::lock_guard<std::mutex> guard(lock);
            if (!result.read && failure.isEmpty())
                failure = records->error();
            results.push_back(std::move(result));
        }
        changed.notify_all();
    }
}

// Mostly a range's records lie together, in rowid order as in time order:
// then they are read without the time index, once the rows of their rowids
// prove to be as many as the overview counts and in time order. The rowids
// start and end at records of the range, so that a row stamped outside it
// breaks that order.
bool RecordPrefetch::read(const Range &range, QList<ExcursionPoint> *points, bool *byRowid)
{
    if (range.lastRowid - range.firstRowid + 1 == range.records) {
        const bool read = records->readRowids(range.firstRowid, range.lastRowid, [&](const ExcursionPoint &p) {
            if (stopping || (!points->isEmpty() && p.time < points->constLast().time))
                return false;
            *points << p;
            return true;
        });
        if (!read || stopping)
            return false;
        *byRowid = points->size() == range.records;
        if (*byRowid)
            return true;
        points->clear();
    }
    return records->read(range.from, range.to, [&](const ExcursionPoint &p) {
        *points << p;
        return !stopping;
    }) && !stopping;
}
