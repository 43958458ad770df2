#ifndef PACKEDREADER_H
#define PACKEDREADER_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct sqlite3;

// Packs the blocks of a table (block_packed()) on the second core, through
// a connection of its own, while the build of the sums sums up the same
// blocks on the first: the packing then costs the build no time of its own.
class PackedReader
{
public:
    PackedReader(const QString &databasePath, const QString &table, const QStringList &columns, qint64 blockRowids,
                 qint64 firstBlock, qint64 lastBlock);
    ~PackedReader();
    PackedReader(const PackedReader &) = delete;
    PackedReader &operator=(const PackedReader &) = delete;

    // Empty when it reads; else why its connection could not be opened.
    QString openError() const { return opening; }
    // The packed stamps and columns of block k, asked for in ascending
    // order, as packedColumns() lists them; false when SQLite failed (error()).
    bool take(qint64 k, QList<QByteArray> *packed);
    QString error() const;

private:
    void run(const QString &statement, qint64 blockRowids, qint64 firstBlock, qint64 lastBlock);

    // Blocks read ahead at most: their packed values wait in memory.
    static constexpr size_t Ahead = 4;
    sqlite3 *handle = nullptr;
    QString opening;
    mutable std::mutex lock;
    std::condition_variable changed;
    std::deque<std::pair<qint64, QList<QByteArray>>> results;
    QString failure;
    bool finished = false, stopping = false;
    std::thread reader;
};

#endif
