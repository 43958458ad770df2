#ifndef SUMMARYBLOCKS_H
#define SUMMARYBLOCKS_H

#include "windowsummary.h"

#include <QByteArray>
#include <QVector>

// A window's summary from blocks of consecutive rowids summed up once: a
// block that lies wholly inside the window and whose every value meets the
// search's condition adds its sums as they are, a block none of whose records
// can match adds nothing, and only the records of the other blocks are read
// again. A whole-window search then reads almost no record twice.

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
    QVector<BlockColumn> columns;     // as the family's value columns
};

using SummaryBlocks = QVector<SummaryBlock>;

// A window's edges then read at most two blocks again: about 10 ms here.
constexpr qint64 DefaultBlockRowids = 16384;

struct RowRange {
    qint64 from = 0, to = 0; // rowids from `from` up to (not with) `to`
};

// What a search asks of each record, as its statements write it.
struct SummaryCondition {
    enum Kind { WindowOnly, Range, Markers } kind = WindowOnly;
    QByteArray st, en;                   // the window's bounds as bound to the statements
    QVector<QPair<double, double>> open; // Range: the open interval of each value column
};

SummaryCondition summaryCondition(const MeterFamily &family, const TableSearch &search, bool chart);

struct SummaryPlan {
    WindowSummary known;    // of the blocks taken whole
    QVector<RowRange> rest; // the rowids still to be read by the summary's pass
    qint64 restRecords = 0;
};

SummaryPlan planSummary(const SummaryBlocks &blocks, const SummaryCondition &condition);

// The ranges split after `share` of their rowids: the first part, then the rest.
QPair<QVector<RowRange>, QVector<RowRange>> splitRanges(const QVector<RowRange> &ranges, double share);

// The sums of the rowids from :rowfrom up to :rowto: count(*),
// count(datetime(indate)), min and max of datetime(indate), then for each
// value column of the channel its count, min and max cast as real, and
// window_summary().
QString summaryBlockStatement(const MeterFamily &family, int meter, int channel);

#endif
