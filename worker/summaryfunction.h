#ifndef SUMMARYFUNCTION_H
#define SUMMARYFUNCTION_H

#include "windowsummary.h"

#include <QVariant>

struct sqlite3;

// Registers window_summary(value, rowid) on the connection: one pass gives
// a value column's count of numbers, first minimum and maximum, sum and
// marker counts (see SummaryTotals). False when SQLite refused it.
bool registerSummaryFunction(sqlite3 *handle);
// The totals of a window_summary() result (none of a value that is no such result).
SummaryTotals summaryTotals(const QVariant &result);

#endif
