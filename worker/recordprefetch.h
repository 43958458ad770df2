#ifndef RECORDPREFETCH_H
#define RECORDPREFETCH_H

#include "excursions.h"

#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class NativeWindowRecords;
class PackedPoints;
class StampBlocks;
class TablePages;
struct MeterFamily;
struct sqlite3;

// Reads the records of ranges of a value column on the second core, through
// a connection of its own, while the walk that asked for them reads the
// overview's cells on the first; the walk takes them in the order it asked.
class RecordPrefetch
{
public:
    // Records of the seconds [from, to) that the overview counts `records`,
    // of which the first and last in time hold these rowids.
    struct Range {
        qint64 from = 0, to = 0;
        qint64 records = 0, firstRowid = 0, lastRowid = 0;
    };

    // `stamps`: where the records of a time lie; `packedBlockRowids`: of the
    // sums kept as the table stands (0: none).
    RecordPrefetch(const QString &databasePath, const MeterFamily &family, const QString &column,
                   const StampBlocks &stamps, qint64 packedBlockRowids);
    ~RecordPrefetch();
    RecordPrefetch(const RecordPrefetch &) = delete;
    RecordPrefetch &operator=(const RecordPrefetch &) = delete;

    // Empty when it reads; else why its connection could not be opened.
    QString openError() const { return opening; }
    void request(const Range &range);
    // The records of the oldest range asked for and not yet taken, in time
    // order, and whether they were read by their rowids; false when SQLite
    // failed (error()) or `cancelled` said so while waiting.
    bool take(QList<ExcursionPoint> *points, bool *byRowid, const std::function<bool()> &cancelled);
    QString error() const;
    // How many of the records read came straight from the file's pages, and
    // how many from the packed values.
    qint64 readFromPages() const { return fromPages; }
    qint64 readFromPacked() const { return fromPacked; }

private:
    struct Result {
        QList<ExcursionPoint> points;
        bool byRowid = false;
        bool read = true;
    };
    void run();
    bool read(const Range &range, QList<ExcursionPoint> *points, bool *byRowid);
    void openPages(const MeterFamily &family, const QString &column);
    bool readPages(const Range &range, QList<ExcursionPoint> *points);
    bool readPacked(const Range &range, QList<ExcursionPoint> *points);

    sqlite3 *handle = nullptr;
    std::unique_ptr<NativeWindowRecords> records;
    // Ranges whose records lie together in rowid order are read from the file's pages.
    std::unique_ptr<TablePages> pages;
    std::unique_ptr<PackedPoints> packed; // where the column's records need no alarm states
    bool readingPages = false; // under a read transaction of the reader's (its thread alone)
    int stampColumn = -1, valueColumn = -1;
    QList<int> alarmColumns;
    std::atomic<qint64> fromPages{0}, fromPacked{0};
    QString opening;
    mutable std::mutex lock;
    std::condition_variable changed;
    std::deque<Range> requests;
    std::deque<Result> results;
    QString failure;
    std::atomic_bool stopping{false};
    std::thread reader;
};

#endif
