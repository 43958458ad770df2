#include "packedreader.h"

#include "freedmemory.h"
#include "gatheredblock.h"
#include "readerthread.h"
#include "recorddatetime.h"
#include "summaryblocks.h"
#include "summaryfunction.h"

#include <sqlite3.h>

PackedReader::PackedReader(const QString &databasePath, const QString &table, const QStringList &columns,
                           qint64 blockRowids, qint64 firstBlock, qint64 lastBlock)
{
    if (sqlite3_open_v2(databasePath.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK
        || !registerRecordDatetime(handle) || !registerSummaryFunction(handle)) {
        opening = QString::fromUtf8(sqlite3_errmsg(handle));
        return;
    }
    // The build's own connection commits its batches meanwhile.
    sqlite3_busy_timeout(handle, 5000);
    const QString statement = blockSumsStatement(table, columns, false, true);
    reader = std::thread([=] { run(statement, blockRowids, firstBlock, lastBlock); });
}

PackedReader::~PackedReader()
{
    stopReader(lock, stopping, changed, handle, reader);
    const FreeingToSystem freeing; // the connection's pages, in the reader's heap
    sqlite3_close(handle);
}

bool PackedReader::take(qint64 k, QList<QByteArray> *packed)
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        while (!results.empty() && results.front().first < k)
            results.pop_front();
        changed.notify_all();
        if (!results.empty() && results.front().first == k) {
            *packed = std::move(results.front().second);
            results.pop_front();
            changed.notify_all();
            return true;
        }
        if (finished)
            return false;
        changed.wait(guard);
    }
}

QString PackedReader::error() const
{
    std::lock_guard<std::mutex> guard(lock);
    return failure.isEmpty() ? QStringLiteral("the packed values of a block were not read") : failure;
}

void PackedReader::run(const QString &text, qint64 blockRowids, qint64 firstBlock, qint64 lastBlock)
{
    sqlite3_stmt *statement = nullptr;
    QString error;
    if (sqlite3_prepare_v2(handle, text.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
        error = QString::fromUtf8(sqlite3_errmsg(handle));
    for (qint64 k = firstBlock; error.isEmpty() && k <= lastBlock; ++k) {
        {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard, [this] { return stopping || results.size() < Ahead; });
            if (stopping)
                break;
        }
        sqlite3_bind_int64(statement, 1, k * blockRowids);
        sqlite3_bind_int64(statement, 2, (k + 1) * blockRowids);
        QList<QByteArray> packed;
        if (sqlite3_step(statement) == SQLITE_ROW) {
            const auto *bytes = static_cast<const char *>(sqlite3_column_blob(statement, 1));
            packed = packedColumns(QByteArray(bytes, sqlite3_column_bytes(statement, 1)));
        } else {
            error = QString::fromUtf8(sqlite3_errmsg(handle));
        }
        sqlite3_reset(statement);
        std::lock_guard<std::mutex> guard(lock);
        results.emplace_back(k, std::move(packed));
        changed.notify_all();
    }
    sqlite3_finalize(statement);
    std::lock_guard<std::mutex> guard(lock);
    failure = error;
    finished = true;
    changed.notify_all();
}
