#ifndef PACKEDBLOCKS_H
#define PACKEDBLOCKS_H

#include "summaryblocks.h"

#include <QString>
#include <QVector>
#include <functional>

struct sqlite3;

// What the block pass statement gives a block whose every record is stamped
// inside a search's window, decided from the packed values kept beside the
// block's sums: a byte or two a value of the searched columns alone.
class PackedBlocks
{
public:
    // `handle`: the search's connection, which holds a read transaction
    // over each batch of blocks read.
    PackedBlocks(sqlite3 *handle, const SearchDescription &search, qint64 blockRowids);

    // Fills blocks[i] for each i of `which` whose columns are packed, on two
    // cores, and lists them in `filled`; false when a statement failed
    // (error()) or `cancelled` says so.
    bool read(QVector<SearchedBlock> &blocks, const QVector<int> &which, QVector<int> *filled,
              const std::function<bool()> &cancelled);
    QString error() const { return failure; }

private:
    // A writer waits for one batch at most.
    static constexpr qsizetype BatchBlocks = 64;
    sqlite3 *handle;
    const SearchDescription &search;
    const qint64 blockRowids;
    QString failure;
};

#endif
