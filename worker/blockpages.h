#ifndef BLOCKPAGES_H
#define BLOCKPAGES_H

#include "summaryblocks.h"
#include "tablepages.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <functional>
#include <memory>

struct sqlite3;

// What the block pass statement gives a block whose every record is stamped
// inside a search's window, read from the file's pages: its matching
// records and the totals of their values, without SQLite's machine between.
class BlockPages
{
public:
    // `handle`: the search's connection, which holds a read transaction
    // over each batch of blocks read.
    BlockPages(sqlite3 *handle, const SearchDescription &search);

    // Empty when it reads; else why the blocks are read through SQLite.
    QString refusal() const;
    // Fills the matching records and totals of blocks[i] for each i of `which`,
    // on two cores; false on a page that does not parse (error()) or when
    // `cancelled` says so.
    bool read(QVector<SearchedBlock> &blocks, const QVector<int> &which, const std::function<bool()> &cancelled);
    QString error() const { return failure; }

private:
    bool readBlock(TablePages &pages, SearchedBlock &block) const;
    bool readBatch(SearchedBlock *blocks, const int *which, qsizetype count, const std::function<bool()> &cancelled);

    // A writer waits for one batch at most (about 20 ms of reading).
    static constexpr qsizetype BatchBlocks = 32;
    static constexpr int MaxColumns = 8;
    sqlite3 *handle;
    // One reader a core, each with its own file handle and buffers.
    std::array<std::unique_ptr<TablePages>, 2> readers;
    const SummaryCondition condition;
    QVector<int> valueIndexes; // of the searched columns among the table's
    QString refused, failure;
};

#endif
