#ifndef RECORDOVERVIEW_H
#define RECORDOVERVIEW_H

#include "overviewcells.h"

#include <QSqlDatabase>
#include <QStringList>
#include <atomic>
#include <functional>
#include <set>
#include <vector>

struct MeterFamily;
class OverviewWriter;
class StampBlocks;
struct sqlite3;

// The overview kept in record.db beside the records: for every value column,
// what OverviewCell holds of each minute and each hour of records, so that
// a window of any length is drawn from a few thousand rows. Built once after
// an import, brought up to date by an addition, replaced with the records.
namespace RecordOverview {

// A build writes in transactions of about this many rows (tests use few).
constexpr qint64 DefaultRowsPerTransaction = 20000;
void setRowsPerTransaction(qint64 rows);

// Sums up every value column of the table in one transaction; SQLite's
// reason when that failed or was `stopped`.
QString build(QSqlDatabase &db, const MeterFamily &family, int meter, const std::function<bool()> &stopped);
// An import's own build, within its transaction: the tables of a new build
// (none of the table's rows kept), then the minutes as its lines arrive
// (OverviewSpans, OverviewWriter), then its hours and the state that makes
// it count; SQLite's reason when that failed. `blocks`: of the table's sums
// (none: those just brought up to date in the transaction).
QString startWithImport(sqlite3 *handle, const QString &table);
QString finishWithImport(QSqlDatabase &db, const MeterFamily &family, int meter, const StampBlocks *blocks,
                         OverviewWriter &writer);

// How the last build read the table: blocks from their packed stamps and
// values, and ranges of rowids through SQLite.
struct BuildReads {
    qint64 packedBlocks = 0, rowRanges = 0;
};
BuildReads lastBuildReads();

// Whether a whole build of the table as it stands is kept.
bool current(QSqlDatabase &db, const QString &table);

// Adds the minutes (naive seconds / 60) that the readable stamps of rowids
// first..last fall in.
void noteMinutes(QSqlDatabase &db, const QString &table, qint64 firstRowid, qint64 lastRowid, std::set<qint64> *minutes);

// Sums up again these minutes and their hours within the caller's
// transaction; SQLite's reason when that failed. `count` counts the minutes.
QString update(QSqlDatabase &db, const MeterFamily &family, int meter, const std::set<qint64> &minutes, qint64 *count);

} // namespace RecordOverview

#endif
