#ifndef PACKEDBLOCKSTREAM_H
#define PACKEDBLOCKSTREAM_H

#include "packedrecords.h"

#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class PackedPoints;
struct sqlite3;

// Reads the packed blocks of a value column in rowid order on the second
// core, through a connection of its own, a few blocks ahead of the walk
// that goes through their records on the first.
class PackedBlockStream
{
public:
    // `blockRowids`: of the sums kept as the table stands.
    PackedBlockStream(const QString &databasePath, const QString &table, const QString &column, qint64 blockRowids);
    ~PackedBlockStream();
    PackedBlockStream(const PackedBlockStream &) = delete;
    PackedBlockStream &operator=(const PackedBlockStream &) = delete;

    // Visits the records of rowids [first, last] a block's stretch at a
    // time, visit(records, begin, end), while they come in time order within
    // the seconds [from, to); how many it visited, or -1 where a block is
    // not packed, they do not or `visit` said stop.
    qint64 visitInTimeOrder(qint64 first, qint64 last, qint64 from, qint64 to,
                            const std::function<bool(const PackedRecords &, qint64, qint64)> &visit);

private:
    struct Slot;
    void load(qint64 firstBlock, qint64 lastBlock);

    sqlite3 *handle = nullptr;
    const qint64 blockRowids;
    std::vector<std::unique_ptr<Slot>> slotted; // block b in slot b % slotted.size()
    std::mutex lock;
    std::condition_variable changed;
    qint64 loadedUpTo = 0; // blocks below it are loaded
    qint64 takenUpTo = 0;  // blocks below it are done with
    bool stopping = false;
};

#endif
