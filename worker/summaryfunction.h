#ifndef SUMMARYFUNCTION_H
#define SUMMARYFUNCTION_H

#include "summaryblocks.h"

#include <QVariant>

struct sqlite3;

// Registers window_summary(value, rowid) on the connection: one pass gives
// a value column's count of numbers, first minimum and maximum, sum and
// marker counts (see SummaryTotals). Also block_sums(datetime(indate),
// rowid, value...): a block's records, its readable stamps with the least and
// greatest, and per value column what BlockColumn holds, each stamp
// compared and each value cast as SQLite does. And block_packed(rowid,
// indate, value...): the block's PackedStamps and each column's PackedValues. False when SQLite refused them.
bool registerSummaryFunction(sqlite3 *handle);
// The totals of a window_summary() result (none of a value that is no such result).
SummaryTotals summaryTotals(const QVariant &result);

#endif
