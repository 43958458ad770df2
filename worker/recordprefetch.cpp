#include "recordprefetch.h"

#include "families.h"
#include "freedmemory.h"
#include "packedpoints.h"
#include "readerthread.h"
#include "readtransaction.h"
#include "recorddatetime.h"
#include "settings.h"
#include "tablepages.h"
#include "windowrecords.h"

#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <sqlite3.h>

RecordPrefetch::RecordPrefetch(const QString &databasePath, const MeterFamily &family, const QString &column,
                               const StampBlocks &stamps, qint64 packedBlockRowids)
{
    // One thread uses it (an interrupt is safe from any): no mutex around each call.
    if (sqlite3_open_v2(databasePath.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        opening = QString::fromUtf8(sqlite3_errmsg(handle));
        return;
    }
    sqlite3_busy_timeout(handle, 5000);
    // Stamps compared as the walk's own connection computes datetime(indate).
    registerRecordDatetime(handle);
    records = std::make_unique<NativeWindowRecords>(handle, family, column, stamps);
    if (!records->ok()) {
        opening = records->error();
        return;
    }
    openPages(family, column);
    if (packedBlockRowids > 0 && family.alarmsOf(column).isEmpty())
        packed = std::make_unique<PackedPoints>(handle, family.table(Meter), column, packedBlockRowids);
    reader = std::thread([this] { run(); });
}

RecordPrefetch::~RecordPrefetch()
{
    stopReader(lock, stopping, changed, handle, reader);
    const FreeingToSystem freeing; // what the reader made, in its heap
    results.clear();
    records.reset();
    pages.reset();
    packed.reset();
    sqlite3_close(handle);
}

namespace {

// A record read from the pages as pointOf() reads a row of the window's statement.
struct PageRow {
    const TablePages::Field *fields;
    int stamp, value;
    const QList<int> &alarms;
    qint64 rowid;

    const TablePages::Field &at(int i) const { return fields[i == 0 ? stamp : i == 1 ? value : alarms.at(i - 3)]; }
    QByteArrayView text(int i) const
    {
        const TablePages::Field &field = at(i);
        if (field.type == SQLITE_NULL)
            return {};
        return {field.bytes, i == 0 ? qMin<qint64>(field.size, 19) : field.size}; // a plain stamp, as datetime() gives it
    }
    bool isNull(int i) const { return at(i).type == SQLITE_NULL; }
    qint64 integer(int) const { return rowid; }
};

} // namespace

void RecordPrefetch::openPages(const MeterFamily &family, const QString &column)
{
    pages = std::make_unique<TablePages>(handle, family.table(Meter));
    const QStringList &names = pages->columnNames();
    stampColumn = int(names.indexOf(QStringLiteral("indate")));
    valueColumn = int(names.indexOf(column));
    for (int alarm : family.alarmsOf(column))
        alarmColumns << int(names.indexOf(QStringLiteral("alm%1").arg(alarm)));
    // Columns of text hold texts, blobs and NULL alone, which pointOf() reads as the statement gives them.
    bool texts = pages->refusal().isEmpty();
    for (int read : QList<int>{stampColumn, valueColumn} + alarmColumns)
        texts = texts && pages->holdsText(read);
    if (!texts)
        pages.reset();
}

// The records of the range's rowids, when each is stamped as datetime()
// gives it back and they come in time order; false otherwise.
bool RecordPrefetch::readPages(const Range &range, QList<ExcursionPoint> *points)
{
    if (!readingPages)
        return false;
    bool inOrder = true;
    const QList<int> alarms = records->alarmNumbers();
    const bool read = pages->read(range.firstRowid, range.lastRowid + 1, [&](qint64 rowid, const TablePages::Field *fields, int) {
        const TablePages::Field &stamp = fields[stampColumn];
        if (!inOrder || stopping || stamp.type != SQLITE_TEXT || !isPlainStamp(stamp.bytes, stamp.size)) {
            inOrder = false;
            return;
        }
        const ExcursionPoint point = pointOf(PageRow{fields, stampColumn, valueColumn, alarmColumns, rowid}, alarms);
        inOrder = points->isEmpty() || point.time >= points->constLast().time;
        *points << point;
    });
    if (read && inOrder && points->size() == range.records) {
        fromPages += range.records;
        return true;
    }
    points->clear();
    return false;
}

// The same from the packed stamps and values kept beside the sums.
bool RecordPrefetch::readPacked(const Range &range, QList<ExcursionPoint> *points)
{
    if (!readingPages || !packed || !packed->read(range.firstRowid, range.lastRowid, points))
        return false;
    const bool inOrder = std::is_sorted(points->cbegin(), points->cend(),
                                        [](const ExcursionPoint &a, const ExcursionPoint &b) { return a.time < b.time; });
    if (inOrder && points->size() == range.records) {
        fromPacked += range.records;
        return true;
    }
    points->clear();
    return false;
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
    // The ranges asked for together are read under one read transaction, so
    // that a writer waits no longer than about 20 ms of reading.
    std::unique_ptr<ReadTransaction> transaction;
    QElapsedTimer held;
    for (;;) {
        Range range;
        {
            std::unique_lock<std::mutex> guard(lock);
            if (requests.empty() || (transaction && held.elapsed() > 20))
                transaction.reset();
            changed.wait(guard, [this] { return stopping || !requests.empty(); });
            if (stopping)
                return;
            range = requests.front();
            requests.pop_front();
        }
        if (pages && !transaction) {
            transaction = std::make_unique<ReadTransaction>(handle);
            held.start();
        }
        readingPages = transaction && transaction->error().isEmpty();
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
// then they are read by their rowids alone, once the rows of their rowids
// prove to be as many as the overview counts and in time order. The rowids
// start and end at records of the range, so that a row stamped outside it
// breaks that order.
bool RecordPrefetch::read(const Range &range, QList<ExcursionPoint> *points, bool *byRowid)
{
    const bool together = range.lastRowid - range.firstRowid + 1 == range.records;
    if (together && (readPacked(range, points) || (pages && readPages(range, points)))) {
        *byRowid = true;
        return !stopping;
    }
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
