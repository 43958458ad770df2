#include "packedblockstream.h"

#include "freedmemory.h"
#include "packedpoints.h"
#include "readtransaction.h"

#include <QElapsedTimer>

#include <algorithm>
#include <sqlite3.h>

struct PackedBlockStream::Slot {
    Slot(sqlite3 *handle, const QString &table, const QString &column, qint64 blockRowids)
        : points(handle, table, column, blockRowids)
    {
    }
    PackedPoints points;
    const PackedRecords *records = nullptr;
};

namespace {

constexpr int AheadBlocks = 3;

} // namespace

PackedBlockStream::PackedBlockStream(const QString &databasePath, const QString &table, const QString &column,
                                     qint64 blockRowids)
    : blockRowids(blockRowids)
{
    // One thread reads through it at a time: no mutex around each call.
    if (sqlite3_open_v2(databasePath.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK)
        return;
    sqlite3_busy_timeout(handle, 5000);
    for (int i = 0; i < AheadBlocks; ++i)
        slotted.push_back(std::make_unique<Slot>(handle, table, column, blockRowids));
}

PackedBlockStream::~PackedBlockStream()
{
    const FreeingToSystem freeing; // the blocks, in the loader's heap
    slotted.clear(); // their statements first
    sqlite3_close(handle);
}

void PackedBlockStream::load(qint64 firstBlock, qint64 lastBlock)
{
    // Blocks read together share a read transaction, so that a writer waits
    // no longer than about 20 ms of reading, nor while this waits.
    std::unique_ptr<ReadTransaction> transaction;
    QElapsedTimer held;
    for (qint64 block = firstBlock; block <= lastBlock; ++block) {
        Slot &slot = *slotted[size_t(block % qint64(slotted.size()))];
        {
            std::unique_lock<std::mutex> guard(lock);
            const auto ready = [&] { return stopping || block - takenUpTo < qint64(slotted.size()); };
            if (!ready() || (transaction && held.elapsed() > 20))
                transaction.reset();
            changed.wait(guard, ready);
            if (stopping)
                return;
        }
        if (!transaction) {
            transaction = std::make_unique<ReadTransaction>(handle);
            held.start();
        }
        slot.records = slot.points.load(block);
        {
            std::lock_guard<std::mutex> guard(lock);
            loadedUpTo = block + 1;
        }
        changed.notify_all();
    }
}

qint64 PackedBlockStream::visitInTimeOrder(qint64 first, qint64 last, qint64 from, qint64 to,
                                           const std::function<bool(const PackedRecords &, qint64, qint64)> &visit)
{
    if (slotted.empty() || blockRowids <= 0 || last < first)
        return -1;
    const qint64 firstBlock = first / blockRowids, lastBlock = last / blockRowids;
    loadedUpTo = takenUpTo = firstBlock;
    stopping = false;
    std::thread loader([=] { load(firstBlock, lastBlock); });
    qint64 visited = 0, previous = from;
    for (qint64 block = firstBlock; block <= lastBlock && visited >= 0; ++block) {
        {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard, [&] { return loadedUpTo > block; });
        }
        const PackedRecords *records = slotted[size_t(block % qint64(slotted.size()))]->records;
        qint64 begin = 0, end = 0;
        if (records) {
            const qint64 firstRowid = records->values->firstRowid();
            if (!records->rowids) {
                begin = qMax<qint64>(0, first - firstRowid);
                end = qMin(records->count(), last - firstRowid + 1);
            } else {
                begin = std::lower_bound(records->rowids, records->rowids + records->count(), first) - records->rowids;
                end = std::upper_bound(records->rowids, records->rowids + records->count(), last) - records->rowids;
            }
            if (begin < end && (!records->inTimeOrder || records->seconds[begin] < previous || records->seconds[end - 1] >= to))
                records = nullptr;
            else if (begin < end)
                previous = records->seconds[end - 1];
        }
        if (!records || (begin < end && !visit(*records, begin, end)))
            visited = -1;
        else
            visited += qMax<qint64>(0, end - begin);
        {
            std::lock_guard<std::mutex> guard(lock);
            takenUpTo = block + 1;
            stopping = visited < 0;
        }
        changed.notify_all();
    }
    loader.join();
    return visited;
}
