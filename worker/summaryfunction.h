#ifndef SUMMARYFUNCTION_H
#define SUMMARYFUNCTION_H

struct sqlite3;

// Registers window_summary(value, rowid) on the connection: one pass gives
// a value column's count of numbers, first minimum and maximum, sum and
// marker counts (see SummaryTotals). False when SQLite refused it.
bool registerSummaryFunction(sqlite3 *handle);

#endif
