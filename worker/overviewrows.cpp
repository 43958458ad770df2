// How a cell of the overview lies in a row of record_overview.
#include "overviewrows.h"

#include "nativestatement.h"

#include <cmath>
#include <sqlite3.h>

const char CellColumns[] = "records, numbers, hh, ll, first_time, first_rowid, first_value, last_time, last_rowid, "
                           "last_value, min_time, min_rowid, min_value, max_time, max_rowid, max_value, sum, kinetic, "
                           "alarms, steps, first_number, last_number, marks";

// Times are kept from the span's start and rowids from the first record's,
// so that most take a byte or two.
void bindPoint(NativeStatement &statement, int at, const OverviewPoint &point, qint64 baseTime, qint64 baseRowid)
{
    statement.bind(at, point.time - baseTime);
    statement.bind(at + 1, point.rowid - baseRowid);
    if (std::isnan(point.value))
        sqlite3_bind_null(*statement, at + 2);
    else
        sqlite3_bind_double(*statement, at + 2, point.value);
}

OverviewPoint readPoint(sqlite3_stmt *row, int at, qint64 baseTime, qint64 baseRowid)
{
    OverviewPoint point{baseTime + sqlite3_column_int64(row, at), baseRowid + sqlite3_column_int64(row, at + 1)};
    if (sqlite3_column_type(row, at + 2) != SQLITE_NULL)
        point.value = sqlite3_column_double(row, at + 2);
    return point;
}

// The cell of a row whose columns from `at` are CellColumns, of a span that starts at `baseTime`.
OverviewCell readCell(sqlite3_stmt *row, int at, qint64 baseTime, bool withMarkers)
{
    OverviewCell cell;
    cell.records = sqlite3_column_int64(row, at);
    cell.numbers = sqlite3_column_int64(row, at + 1);
    cell.hh = sqlite3_column_int64(row, at + 2);
    cell.ll = sqlite3_column_int64(row, at + 3);
    cell.first = readPoint(row, at + 4, baseTime, 0);
    cell.last = readPoint(row, at + 7, baseTime, cell.first.rowid);
    cell.minimum = readPoint(row, at + 10, baseTime, cell.first.rowid);
    cell.maximum = readPoint(row, at + 13, baseTime, cell.first.rowid);
    cell.sum = sqlite3_column_double(row, at + 16);
    cell.kinetic = sqlite3_column_double(row, at + 17);
    cell.alarms = quint8(sqlite3_column_int(row, at + 18));
    cell.steps = StepCounts::unpacked(static_cast<const char *>(sqlite3_column_blob(row, at + 19)),
                                      sqlite3_column_bytes(row, at + 19));
    // Only the values are kept: the cell's first and last record stand in for
    // their places, which orders them rightly against the numbers of any other
    // span, and of records added later to this one.
    cell.firstNumber = {cell.first.time, cell.first.rowid,
                        sqlite3_column_type(row, at + 20) == SQLITE_NULL ? qQNaN() : sqlite3_column_double(row, at + 20)};
    cell.lastNumber = {cell.last.time, cell.last.rowid,
                       sqlite3_column_type(row, at + 21) == SQLITE_NULL ? qQNaN() : sqlite3_column_double(row, at + 21)};
    if (withMarkers)
        cell.unpackMarkers(static_cast<const char *>(sqlite3_column_blob(row, at + 22)),
                           sqlite3_column_bytes(row, at + 22), baseTime);
    return cell;
}

