#ifndef OVERVIEWROWS_H
#define OVERVIEWROWS_H

#include "overviewcells.h"

class NativeStatement;
struct sqlite3_stmt;

// The columns of record_overview that hold a cell, in the order readCell() reads them.
extern const char CellColumns[];

// Binds a point's time, rowid and value from parameter `at` on.
void bindPoint(NativeStatement &statement, int at, const OverviewPoint &point, qint64 baseTime, qint64 baseRowid);
OverviewPoint readPoint(sqlite3_stmt *row, int at, qint64 baseTime, qint64 baseRowid);
// The cell of a row whose columns from `at` are CellColumns, of a span that
// starts at `baseTime`; its markers left out unless `withMarkers`.
OverviewCell readCell(sqlite3_stmt *row, int at, qint64 baseTime, bool withMarkers = true);

#endif
