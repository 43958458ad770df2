#ifndef BLOCKPAGES_H
#define BLOCKPAGES_H

#include "summaryblocks.h"
#include "tablepages.h"

#include <QString>
#include <QStringList>
#include <QVector>

struct sqlite3;

// What the block pass statement gives a block whose every record is stamped
// inside a search's window, read from the file's pages: its matching
// records and the totals of their values, without SQLite's machine between.
class BlockPages
{
public:
    // `handle` holds a read transaction for as long as this reads;
    // `tableColumns`: every column of the search's table, in order.
    BlockPages(sqlite3 *handle, const SearchDescription &search, const QStringList &tableColumns);

    // Empty when it reads; else why the blocks are read through SQLite.
    QString refusal() const;
    // Fills the block's matching records and totals; false (and error()) on a page that does not parse.
    bool read(SearchedBlock &block);
    QString error() const { return pages.error(); }

private:
    TablePages pages;
    const SummaryCondition condition;
    QVector<int> valueIndexes; // of the searched columns among the table's
    QString refused;
};

#endif
