#include "recordoverview.h"

#include "families.h"
#include "nativestatement.h"
#include "overviewrows.h"
#include "overviewspans.h"
#include "overviewwriter.h"
#include "packedcolumns.h"
#include "recordnumber.h"
#include "rowinserter.h"
#include "stampblocks.h"
#include "summaryblocks.h"
#include "wallclock.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <sqlite3.h>
#include <unordered_map>

namespace {

const char *const Schema[] = {
    "create table if not exists record_overview (tbl text not null, col text not null, level integer not null, "
    "span integer not null, records integer, numbers integer, hh integer, ll integer, "
    "first_time integer, first_rowid integer, first_value real, last_time integer, last_rowid integer, last_value real, "
    "min_time integer, min_rowid integer, min_value real, max_time integer, max_rowid integer, max_value real, "
    "sum real, kinetic real, alarms integer, steps blob, first_number real, last_number real, marks blob, primary key (tbl, col, level, span)) without rowid",
    // One row a whole build: the table's greatest rowid then. (The *_time
    // columns count from the span's start, the rowids but the first from it.)
    "create table if not exists record_overview_state (tbl text primary key, rowids integer)"};

std::atomic<qint64> g_rowsPerTransaction{RecordOverview::DefaultRowsPerTransaction};
std::atomic<qint64> g_packedBlocksRead{0}, g_rowRangesRead{0};

// The hours of [fromHour, toHour] summed up again from their minutes.
bool buildHours(sqlite3 *handle, OverviewWriter &writer, const QString &table, const QStringList &columns, qint64 fromHour,
                qint64 toHour)
{
    const qint64 perHour = OverviewLevels[1] / OverviewLevels[0];
    NativeStatement minutes(handle, QStringLiteral("select span, %1 from record_overview where tbl = ? and col = ? and level = 0 "
                                             "and span >= ? and span < ? order by span")
                                  .arg(QLatin1String(CellColumns)));
    for (const QString &column : columns) {
        minutes.bind(1, table);
        minutes.bind(2, column);
        minutes.bind(3, fromHour * perHour);
        minutes.bind(4, (toHour + 1) * perHour);
        qint64 hour = 0;
        OverviewCell cell;
        int code;
        while ((code = minutes.step()) == SQLITE_ROW) {
            const qint64 minute = sqlite3_column_int64(*minutes, 0);
            const qint64 at = floorDiv(minute, perHour);
            if (cell.records > 0 && at != hour && !writer.write(column, 1, hour, cell, false))
                return false;
            if (at != hour)
                cell = OverviewCell();
            hour = at;
            cell.append(readCell(*minutes, 1, minute * OverviewLevels[0]));
        }
        minutes.reset();
        if (code != SQLITE_DONE || !writer.write(column, 1, hour, cell, false))
            return false;
    }
    return true;
}

bool saveState(sqlite3 *handle, const QString &table, qint64 rowids)
{
    NativeStatement state(handle, QStringLiteral("insert or replace into record_overview_state values (?, ?)"));
    state.bind(1, table);
    state.bind(2, rowids);
    return state.run();
}

// Removes the kept rows of spans first..last of a level, a column at a
// time: each then is a range of the table's key, not a pass over all of it.
class SpanClearing
{
public:
    SpanClearing(sqlite3 *handle, const QString &table)
        : table(table),
          clear(handle, QStringLiteral("delete from record_overview where tbl = ? and col = ? and level = ? "
                                       "and span between ? and ?"))
    {
    }
    bool ok() const { return clear.ok(); }
    QString error() const { return clear.error(); }
    bool run(const QStringList &columns, int level, qint64 first, qint64 last)
    {
        for (const QString &column : columns) {
            clear.bind(1, table);
            clear.bind(2, column);
            clear.bind(3, qint64(level));
            clear.bind(4, first);
            clear.bind(5, last);
            if (!clear.run())
                return false;
        }
        return true;
    }

private:
    QString table;
    NativeStatement clear;
};

bool execute(sqlite3 *handle, const char *statement)
{
    return sqlite3_exec(handle, statement, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Sums up these minutes again from their records alone, within the caller's
// transaction, and adds their hours; SQLite's reason when that failed.
QString sumMinutesAgain(sqlite3 *handle, OverviewWriter &writer, const QString &table, const OverviewSpans::Columns &columns,
                        const StampBlocks &stamps, const std::set<qint64> &minutes, std::set<qint64> *hours)
{
    const qint64 minute = OverviewLevels[0], perHour = OverviewLevels[1] / minute;
    SpanClearing clear(handle, table);
    NativeStatement records(handle, StampBlocks::stretchStatement(columns.selected(), table, false)),
        withinRowids(handle, StampBlocks::stretchStatement(columns.selected(), table, true));
    if (!clear.ok() || !records.ok() || !withinRowids.ok())
        return !clear.ok() ? clear.error() : records.ok() ? withinRowids.error() : records.error();
    // Each run of consecutive minutes is summed up again from its records
    // alone: a stamp far off (a clock reset) costs its own minute, not the
    // years between.
    for (auto run = minutes.begin(); run != minutes.end();) {
        auto end = run;
        qint64 last = *run;
        while (std::next(end) != minutes.end() && *std::next(end) == last + 1)
            last = *++end;
        const qint64 first = *run;
        run = std::next(end);
        if (!clear.run(columns.values, 0, first, last))
            return clear.error();
        // A piece of the run at a time: a month added at once held all its
        // minutes' cells (131 MB for two columns).
        for (qint64 from = first; from <= last; from += qint64(OverviewSpans::MostOpen)) {
            const qint64 to = qMin(last, from + qint64(OverviewSpans::MostOpen) - 1);
            OverviewSpans summed(int(columns.values.size()));
            if (!stamps.step(records, withinRowids, from * minute, (to + 1) * minute, [&](sqlite3_stmt *row) {
                    summed.addRow(row, columns);
                    return true;
                }))
                return stamps.whole() ? records.error() : withinRowids.error();
            for (const auto &[span, cells] : summed.close()) {
                for (int c = 0; c < columns.values.size(); ++c) {
                    if (!writer.write(columns.values.at(c), 0, span, cells.cells[size_t(c)], false))
                        return writer.error();
                }
            }
        }
        for (qint64 hour = floorDiv(first, perHour); hour <= floorDiv(last, perHour); ++hour)
            hours->insert(hour);
    }
    return QString();
}

// Whether the kept rows hold all that a build writes now.
bool keptRowsCurrent(sqlite3 *handle)
{
    sqlite3_stmt *probe = nullptr;
    const bool exists = sqlite3_prepare_v2(handle, "select 1 from record_overview limit 0", -1, &probe, nullptr) == SQLITE_OK;
    sqlite3_finalize(probe);
    probe = nullptr;
    const bool current = sqlite3_prepare_v2(handle, "select marks from record_overview limit 0", -1, &probe, nullptr) == SQLITE_OK;
    sqlite3_finalize(probe);
    return !exists || current;
}

} // namespace

namespace RecordOverview {

void setRowsPerTransaction(qint64 rows)
{
    g_rowsPerTransaction = qMax<qint64>(1, rows);
}

QString build(QSqlDatabase &db, const MeterFamily &family, int meter, const std::function<bool()> &stopped)
{
    sqlite3 *handle = nativeHandleUsable(db) ? sqliteHandle(db) : nullptr;
    if (!handle)
        return QStringLiteral("no SQLite handle");
    const QString table = family.table(meter);
    const QStringList columns = everyValueColumn(family, meter);
    const OverviewSpans::Columns selected(family, columns);
    // The blocks whose stamps and columns are packed are read from them, the
    // rest (and a table without sums, or with alarm states) through SQLite.
    // Read before the build writes, which would make the table's kept count no longer tell.
    const StampBlocks blocks = StampBlocks::load(db, family, meter);
    if (!execute(handle, "begin"))
        return QString::fromUtf8(sqlite3_errmsg(handle));
    const auto fail = [&] {
        const QString error = stopped() ? QStringLiteral("stopped") : QString::fromUtf8(sqlite3_errmsg(handle));
        execute(handle, "rollback");
        return error;
    };
    if (!startWithImport(handle, table).isEmpty())
        return fail();
    {
        OverviewWriter writer(handle, table);
        NativeStatement records(handle, QStringLiteral("select datetime(indate), rowid, %1 from main.%2 "
                                                       "where rowid >= ?1 and rowid < ?2")
                                      .arg(selected.selected(), table));
        NativeStatement ends(handle, QStringLiteral("select coalesce(min(rowid), 0), coalesce(max(rowid), -1) from main.%1")
                                     .arg(table));
        if (!writer.ok() || !records.ok() || ends.step() != SQLITE_ROW)
            return fail();
        const qint64 firstRowid = sqlite3_column_int64(*ends, 0), lastRowid = sqlite3_column_int64(*ends, 1);
        ends.reset();
        PackedColumns packed(handle, table, columns, selected.alarms.isEmpty() ? blocks.rowidsPerBlock() : 0);
        // Records come mostly in time order: the minutes still open are
        // written out now and then; one met again later is merged.
        OverviewSpans spans(int(columns.size()));
        const auto writeOpen = [&](bool keepingLast) {
            if (!writer.writeMinutes(columns, spans.close(keepingLast)))
                return false;
            // Written in transactions the page cache holds: one of all the
            // year's rows would lock searches out of the database while it spills.
            if (writer.written >= g_rowsPerTransaction) {
                writer.written = 0;
                if (!execute(handle, "commit") || !execute(handle, "begin"))
                    return false;
            }
            return true;
        };
        qint64 added = 0;
        const auto keepOn = [&](qint64 records) {
            const bool look = (added + records) / 65536 != added / 65536;
            added += records;
            return (!spans.full() || writeOpen(true)) && (!look || !stopped());
        };
        g_packedBlocksRead = g_rowRangesRead = 0;
        const auto addRows = [&](qint64 from, qint64 to) {
            ++g_rowRangesRead;
            records.bind(1, from);
            records.bind(2, to);
            int code;
            while ((code = records.step()) == SQLITE_ROW) {
                spans.addRow(*records, selected);
                if (!keepOn(1))
                    break;
            }
            records.reset();
            return code == SQLITE_DONE;
        };
        const auto addBlock = [&] {
            ++g_packedBlocksRead;
            spans.addBlock(packed);
            return keepOn(packed.count());
        };
        const qint64 perBlock = packed.rowidsPerBlock();
        bool read = perBlock > 0 || addRows(firstRowid, lastRowid + 1);
        for (qint64 block = floorDiv(firstRowid, qMax<qint64>(1, perBlock)); perBlock > 0 && read && block <= floorDiv(lastRowid, perBlock);
             ++block)
            read = packed.load(block) ? addBlock() : addRows(block * perBlock, (block + 1) * perBlock);
        if (!read || !writeOpen(false) || !finishWithImport(db, family, meter, &blocks, writer).isEmpty())
            return fail();
    }
    if (stopped() || !execute(handle, "commit"))
        return fail();
    return QString();
}

QString startWithImport(sqlite3 *handle, const QString &table)
{
    // An earlier version's rows lack what the excursions read: all are built anew.
    if (!keptRowsCurrent(handle)
        && (!execute(handle, "drop table if exists record_overview") || !execute(handle, "drop table if exists record_overview_state")))
        return QString::fromUtf8(sqlite3_errmsg(handle));
    if (!execute(handle, Schema[0]) || !execute(handle, Schema[1]))
        return QString::fromUtf8(sqlite3_errmsg(handle));
    // Until the state is saved at the end, what is written counts for
    // nothing: a build that did not end is made again from the start.
    NativeStatement clear(handle, QStringLiteral("delete from record_overview where tbl = ?"));
    NativeStatement unsaved(handle, QStringLiteral("delete from record_overview_state where tbl = ?"));
    clear.bind(1, table);
    unsaved.bind(1, table);
    if (!clear.run() || !unsaved.run())
        return QString::fromUtf8(sqlite3_errmsg(handle));
    return QString();
}

QString finishWithImport(QSqlDatabase &db, const MeterFamily &family, int meter, const StampBlocks *blocks,
                         OverviewWriter &writer)
{
    sqlite3 *handle = sqliteHandle(db);
    const QString table = family.table(meter);
    const QStringList columns = everyValueColumn(family, meter);
    std::set<qint64> hours;
    if (!writer.merged.empty()) {
        const QString error = sumMinutesAgain(handle, writer, table, OverviewSpans::Columns(family, columns),
                                              blocks ? *blocks : StampBlocks::ofCheckedSums(db, family, meter),
                                              writer.merged, &hours);
        if (!error.isEmpty())
            return error;
    }
    const qint64 lowest = writer.lowestMinute, highest = writer.highestMinute;
    if (lowest <= highest
        && !buildHours(handle, writer, table, columns, floorDiv(lowest * OverviewLevels[0], OverviewLevels[1]),
                       floorDiv(highest * OverviewLevels[0], OverviewLevels[1])))
        return writer.error();
    NativeStatement greatest(handle, QStringLiteral("select coalesce(max(rowid), 0) from main.%1").arg(table));
    if (greatest.step() != SQLITE_ROW || !saveState(handle, table, sqlite3_column_int64(*greatest, 0)))
        return QString::fromUtf8(sqlite3_errmsg(handle));
    return QString();
}

BuildReads lastBuildReads()
{
    return {g_packedBlocksRead, g_rowRangesRead};
}

bool current(QSqlDatabase &db, const QString &table)
{
    sqlite3 *handle = nativeHandleUsable(db) ? sqliteHandle(db) : nullptr;
    if (!handle || !keptRowsCurrent(handle))
        return false;
    // Whatever damaged the kept rows, they are built again rather than
    // trusted. Checked where it is cheap, on the first column's hours and
    // the ends of its minutes: its hours hold records of the table's rowids,
    // and no more records than its rowids span (a count of a year of records
    // would cost more than the read it guards); its minutes end in its first and
    // last hours; a table with stamped records has them.
    NativeStatement state(handle, QStringLiteral(
        "select s.rowids = (select coalesce(max(rowid), 0) from main.%1), h.hours, "
        "h.least > 0 and h.records <= (select max(rowid) from main.%1) - (select min(rowid) from main.%1) + 1 "
        "and h.lo >= (select min(rowid) from main.%1) and h.hi <= (select max(rowid) from main.%1) "
        "and h.first = (select (m - ((m % %2) + %2) % %2) / %2 from (select min(span) m from record_overview "
        "where tbl = ?1 and col = h.col and level = 0)) "
        "and h.last = (select (m - ((m % %2) + %2) % %2) / %2 from (select max(span) m from record_overview "
        "where tbl = ?1 and col = h.col and level = 0)), "
        "exists (select 1 from main.%1 where datetime(indate) is not null) "
        "from record_overview_state s, (select col, count(*) hours, min(records) least, sum(records) records, "
        "min(first_rowid) lo, max(first_rowid + max(last_rowid, coalesce(min_rowid, 0), coalesce(max_rowid, 0))) hi, "
        "min(span) first, max(span) last from record_overview where tbl = ?1 and level = 1 "
        "and col = (select min(col) from record_overview where tbl = ?1)) h where s.tbl = ?1")
                        .arg(table).arg(OverviewLevels[1] / OverviewLevels[0]));
    state.bind(1, table);
    if (!state.ok() || state.step() != SQLITE_ROW || sqlite3_column_int(*state, 0) != 1)
        return false;
    return sqlite3_column_int64(*state, 1) == 0 ? sqlite3_column_int(*state, 3) == 0 : sqlite3_column_int(*state, 2) == 1;
}

void noteMinutes(QSqlDatabase &db, const QString &table, qint64 firstRowid, qint64 lastRowid, std::set<qint64> *minutes)
{
    NativeStatement stamps(sqliteHandle(db), QStringLiteral("select datetime(indate) from main.%1 where rowid between ? and ?")
                                           .arg(table));
    stamps.bind(1, firstRowid);
    stamps.bind(2, lastRowid);
    qint64 time = 0;
    while (stamps.ok() && stamps.step() == SQLITE_ROW) {
        // A stamp no window shows is in no minute, as in a build.
        if (naiveSeconds(reinterpret_cast<const char *>(sqlite3_column_text(*stamps, 0)), sqlite3_column_bytes(*stamps, 0),
                         &time))
            minutes->insert(floorDiv(time, OverviewLevels[0]));
    }
}

QString update(QSqlDatabase &db, const MeterFamily &family, int meter, const std::set<qint64> &minutes, qint64 *count)
{
    sqlite3 *handle = sqliteHandle(db);
    const QString table = family.table(meter);
    const QStringList columns = everyValueColumn(family, meter);
    *count += qint64(minutes.size());
    SpanClearing clear(handle, table);
    OverviewWriter writer(handle, table);
    if (!clear.ok() || !writer.ok())
        return writer.error();
    std::set<qint64> hours;
    const QString error = sumMinutesAgain(handle, writer, table, OverviewSpans::Columns(family, columns),
                                          StampBlocks::ofCheckedSums(db, family, meter), minutes, &hours);
    if (!error.isEmpty())
        return error;
    for (qint64 hour : hours) {
        if (!clear.run(columns, 1, hour, hour) || !buildHours(handle, writer, table, columns, hour, hour))
            return writer.error();
    }
    NativeStatement greatest(handle, QStringLiteral("select coalesce(max(rowid), 0) from main.%1").arg(table));
    if (greatest.step() != SQLITE_ROW || !saveState(handle, table, sqlite3_column_int64(*greatest, 0)))
        return greatest.error();
    return QString();
}

} // namespace RecordOverview
