#ifndef SUMMARYBLOCKS_H
#define SUMMARYBLOCKS_H

#include "recordnumber.h"
#include "windowsummary.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

// Sums of blocks of consecutive rowids, built once when the records arrive
// and kept in record.db beside them. A search takes a block that lies
// wholly inside its window and whose every value meets its condition as it
// stands, leaves out a block none of whose records can match, and reads
// only the records of the other blocks (for a whole window, those at its
// edges). Its count, summary and the place of any page follow from them.

// What one value column holds over a block, whatever the search.
struct BlockColumn {
    qint64 values = 0;                       // records whose value is not NULL
    double castMinimum = 0, castMaximum = 0; // of cast(value as real)
    SummaryTotals totals{};                  // window_summary() of every record
};

struct SummaryBlock {
    qint64 fromRow = 0, toRow = 0;    // rowids from fromRow up to (not with) toRow
    qint64 records = 0, stamped = 0;  // stamped: datetime(indate) is not NULL
    QByteArray firstStamp, lastStamp; // least and greatest datetime(indate)
    QVector<BlockColumn> columns;     // as the searched value columns
};

using SummaryBlocks = QVector<SummaryBlock>;

// The edges of a window then read at most two blocks: a few milliseconds.
constexpr qint64 DefaultBlockRowids = 16384;

// What a search asks of each record, as its statements write it.
struct SummaryCondition {
    enum Kind { WindowOnly, Range, Markers } kind = WindowOnly;
    QByteArray st, en;                   // the window's bounds as bound to the statements
    QVector<QPair<double, double>> open; // Range: the open interval of each value column
};

SummaryCondition summaryCondition(const MeterFamily &family, const TableSearch &search, bool chart);

// What the sums answer for a search: its window and condition (a chart: its
// window alone), and the value columns of its channel.
struct SearchDescription {
    const MeterFamily *family = nullptr;
    TableSearch search;
    bool chart = false;
    QString table;
    QStringList columns;
    SummaryCondition condition;
    QString key; // the same for every page of one search
};

SearchDescription describeSearch(const MeterFamily &family, int meter, const TableSearch &search, bool chart);

// A block's part in a search: every record of it matches (whole), or its
// records are to be read (`read`), which then fills `matching` and `totals`.
struct SearchedBlock {
    qint64 fromRow = 0, toRow = 0;
    bool read = false;
    bool windowWhole = false; // every record of it stamped inside the window
    qint64 matching = 0;
    QVector<SummaryTotals> totals; // of the matching records, per searched value column
};

// A value of a column of text affinity as stored: no text for NULL; else a
// text (`isText`) or a blob.
struct StoredValue {
    const char *text = nullptr;
    qsizetype size = 0;
    bool isText = false;
};

// Whether a record inside the window meets the condition as the statements
// write it, given its searched values in the order of the search's columns.
bool recordMatches(const SummaryCondition &condition, const StoredValue *values, int count);
// Whether recordMatches() answers for every bound of the condition: beyond
// 2^53 SQLite compares a bound written as an integer otherwise than a double.
bool matchedInDoubles(const SummaryCondition &condition);

// The blocks of which some record may match, in rowid order.
QVector<SearchedBlock> planSearch(const SummaryBlocks &blocks, const SummaryCondition &condition);

// Where a page from `offset` starts: the first rowid of the block that holds
// its first record, and the matching records of that block before it; and
// where its records end at the latest: the end of the last block with any.
struct PageStart {
    qint64 fromRow = 0, skip = 0, toRow = 0;
};
PageStart pageStart(const QVector<SearchedBlock> &blocks, qint64 offset);

// The value columns of a family's channel (1-based), as the tables name them.
QStringList valueColumnsOf(const MeterFamily &family, int channel);
// The value columns of every channel of the meter's table, each once.
QStringList everyValueColumn(const MeterFamily &family, int meter);

// The sums of the rowids from :rowfrom up to (not with) :rowto, in one
// pass that evaluates datetime(indate) once a record: block_sums(), and
// the packed stamps and values of each column: block_packed(); either may
// be left out (NULL in its place).
QString blockSumsStatement(const QString &table, const QStringList &columns, bool sums = true, bool packed = true);

// One pass over the rowids from :rowfrom up to :rowto of a search's window:
// per block of `blockRowids`, its number, the records that match and
// window_summary() of each searched value column.
QString blockPassStatement(const MeterFamily &family, int meter, const TableSearch &search, bool chart,
                           qint64 blockRowids);

#endif
