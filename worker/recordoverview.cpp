#include "recordoverview.h"

#include "families.h"
#include "nativestatement.h"
#include "overviewrows.h"
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

// Minutes summed up at once before they are written: a day and a half of
// one-second records, whose stamps, kinds and numbers are held meanwhile.
constexpr size_t MostOpenMinutes = 2048;




// The records of a span being summed up: a cell per value column, and what
// is counted once the span is whole, in time order: the steps between the
// records and the markers of each column.
struct OpenSpan {
    struct Record {
        qint64 time, rowid;
        size_t index; // into kinds
    };
    std::vector<OverviewCell> cells;
    std::vector<Record> records;
    std::vector<OverviewCell::Kind> kinds; // per record, a column after another
    std::vector<double> values;            // likewise, NaN where no number

    void close()
    {
        std::sort(records.begin(), records.end(), [](const Record &a, const Record &b) {
            return a.time < b.time || (a.time == b.time && a.rowid < b.rowid);
        });
        std::vector<qint64> times;
        times.reserve(records.size());
        for (const Record &r : records)
            times.push_back(r.time);
        const StepCounts steps = StepCounts::ofTimes(times);
        const size_t columns = cells.size();
        for (size_t c = 0; c < columns; ++c) {
            OverviewCell &cell = cells[c];
            cell.steps = steps;
            if (cell.hh + cell.ll == 0)
                continue;
            for (const Record &r : records) {
                const size_t at = r.index * columns + c;
                cell.addMarkerEvent({r.time, r.rowid, values[at]}, kinds[at]);
            }
        }
    }
};

// What a statement of summed records selects: datetime(indate), rowid, the
// value columns, then the alarm states of `alarmMasks` (per value column,
// the bits of the alarms on it) for the alarms `alarms`.
struct RecordColumns {
    QStringList values;
    QList<int> alarms;
    std::vector<quint8> alarmMasks;

    RecordColumns(const MeterFamily &family, const QStringList &values) : values(values)
    {
        for (const QString &column : values) {
            quint8 mask = 0;
            for (int alarm : family.alarmsOf(column)) {
                mask |= quint8(1u << (alarm - 1));
                if (!alarms.contains(alarm))
                    alarms << alarm;
            }
            alarmMasks.push_back(mask);
        }
    }
    QString selected() const
    {
        QStringList all = values;
        for (int alarm : alarms)
            all << QStringLiteral("alm%1").arg(alarm);
        return all.join(QStringLiteral(", "));
    }
};

// Adds a record's value of column c, of its kind, to the span's cell of that column.
void addValue(OpenSpan &span, size_t c, OverviewPoint point, OverviewCell::Kind kind, double number)
{
    if (kind == OverviewCell::Kind::Number)
        point.value = number;
    span.cells[c].add(point, kind);
    span.kinds.push_back(kind);
    span.values.push_back(point.value);
}

// Adds a record (stamp, rowid, then `columns`) to the span its stamp falls in.
template<class SpanOf>
void addRecord(sqlite3_stmt *row, const RecordColumns &columns, qint64 spanSeconds, SpanOf &&spanOf)
{
    qint64 time = 0;
    if (!naiveSeconds(reinterpret_cast<const char *>(sqlite3_column_text(row, 0)), sqlite3_column_bytes(row, 0), &time))
        return;
    const qint64 rowid = sqlite3_column_int64(row, 1);
    OpenSpan &span = spanOf(floorDiv(time, spanSeconds));
    span.records.push_back({time, rowid, span.records.size()});
    const int count = int(columns.values.size());
    quint8 on = 0;
    for (int a = 0; a < columns.alarms.size(); ++a) {
        if (alarmStateOn(reinterpret_cast<const char *>(sqlite3_column_text(row, 2 + count + a)),
                         sqlite3_column_bytes(row, 2 + count + a)))
            on |= quint8(1u << (columns.alarms.at(a) - 1));
    }
    for (int c = 0; c < count; ++c) {
        double number = 0;
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(row, 2 + c));
        const OverviewCell::Kind kind = overviewKind(text, sqlite3_column_bytes(row, 2 + c), &number);
        addValue(span, size_t(c), {time, rowid}, kind, number);
        span.cells[size_t(c)].alarms |= on & columns.alarmMasks[size_t(c)];
    }
}

// Adds record i of a packed block as addRecord() adds the same record read through SQLite.
template<class SpanOf>
void addPackedRecord(const PackedColumns &block, qint64 i, int count, qint64 spanSeconds, SpanOf &&spanOf)
{
    const qint64 time = block.secondsAt(i), rowid = block.rowidAt(i);
    OpenSpan &span = spanOf(floorDiv(time, spanSeconds));
    span.records.push_back({time, rowid, span.records.size()});
    for (int c = 0; c < count; ++c) {
        double number = 0;
        const auto kind = OverviewCell::Kind(int(block.kindAt(c, i, &number)));
        addValue(span, size_t(c), {time, rowid}, kind, number);
    }
}

// Writes cells of one table, merging each with a row already kept for its span.
class CellWriter
{
public:
    CellWriter(sqlite3 *handle, const QString &table)
        : table(table),
          insert(handle, QStringLiteral("insert or replace into record_overview values (?, ?, ?, ?, %1)")
                             .arg(QStringLiteral("?, ").repeated(22) + QStringLiteral("?"))),
          kept(handle, QStringLiteral("select %1 from record_overview where tbl = ? and col = ? and level = ? and span = ?")
                           .arg(QLatin1String(CellColumns)))
    {
    }
    bool ok() const { return insert.ok() && kept.ok(); }
    QString error() const { return insert.error(); }
    qint64 written = 0;
    // The minutes merged with a kept row: the steps where their records meet
    // are not known, so they are summed up again from their records.
    std::set<qint64> merged;

    bool write(const QString &column, int level, qint64 span, OverviewCell cell, bool mayBeKept)
    {
        if (cell.records == 0)
            return true;
        if (mayBeKept) {
            bindKey(kept, column, level, span);
            if (kept.step() == SQLITE_ROW) {
                cell.merge(readCell(*kept, 0, span * OverviewLevels[level]));
                merged.insert(span);
            }
            kept.reset();
        }
        bindKey(insert, column, level, span);
        for (int i = 0; i < 4; ++i)
            insert.bind(5 + i, (&cell.records)[i]);
        const qint64 base = span * OverviewLevels[level];
        bindPoint(insert, 9, cell.first, base, 0);
        bindPoint(insert, 12, cell.last, base, cell.first.rowid);
        for (int i = 15; i < 21; ++i)
            sqlite3_bind_null(*insert, i); // no number: no extremes
        if (cell.numbers > 0) {
            bindPoint(insert, 15, cell.minimum, base, cell.first.rowid);
            bindPoint(insert, 18, cell.maximum, base, cell.first.rowid);
        }
        sqlite3_bind_double(*insert, 21, cell.sum);
        sqlite3_bind_double(*insert, 22, cell.kinetic);
        insert.bind(23, qint64(cell.alarms));
        const QByteArray steps = cell.steps.packed();
        sqlite3_bind_blob(*insert, 24, steps.constData(), int(steps.size()), SQLITE_TRANSIENT);
        for (const auto &[at, number] : {std::pair{25, cell.firstNumber.value}, std::pair{26, cell.lastNumber.value}}) {
            if (std::isnan(number))
                sqlite3_bind_null(*insert, at);
            else
                sqlite3_bind_double(*insert, at, number);
        }
        const QByteArray markers = cell.packedMarkers(base);
        sqlite3_bind_blob(*insert, 27, markers.constData(), int(markers.size()), SQLITE_TRANSIENT);
        ++written;
        return insert.run();
    }

private:
    void bindKey(NativeStatement &statement, const QString &column, int level, qint64 span)
    {
        statement.bind(1, table);
        statement.bind(2, column);
        statement.bind(3, qint64(level));
        statement.bind(4, span);
    }

    QString table;
    NativeStatement insert;
    NativeStatement kept;
};

// The hours of [fromHour, toHour] summed up again from their minutes.
bool buildHours(sqlite3 *handle, CellWriter &writer, const QString &table, const QStringList &columns, qint64 fromHour,
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
QString sumMinutesAgain(sqlite3 *handle, CellWriter &writer, const QString &table, const RecordColumns &columns,
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
        std::map<qint64, OpenSpan> summed;
        const auto spanOf = [&](qint64 span) -> OpenSpan & {
            OpenSpan &cells = summed[span];
            if (cells.cells.empty())
                cells.cells.resize(size_t(columns.values.size()));
            return cells;
        };
        if (!stamps.step(records, withinRowids, first * minute, (last + 1) * minute, [&](sqlite3_stmt *row) {
                addRecord(row, columns, minute, spanOf);
                return true;
            }))
            return stamps.whole() ? records.error() : withinRowids.error();
        for (auto &[span, cells] : summed) {
            cells.close();
            for (int c = 0; c < columns.values.size(); ++c) {
                if (!writer.write(columns.values.at(c), 0, span, cells.cells[size_t(c)], false))
                    return writer.error();
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
    const RecordColumns selected(family, columns);
    const int count = int(columns.size());
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
    // An earlier version's rows lack what the excursions read: all are built anew.
    if (!keptRowsCurrent(handle)
        && (!execute(handle, "drop table if exists record_overview") || !execute(handle, "drop table if exists record_overview_state")))
        return fail();
    if (!execute(handle, Schema[0]) || !execute(handle, Schema[1]))
        return fail();
    {
        // Until the state is saved at the end, what is written counts for
        // nothing: a build that did not end is made again from the start.
        NativeStatement clear(handle, QStringLiteral("delete from record_overview where tbl = ?"));
        NativeStatement unsaved(handle, QStringLiteral("delete from record_overview_state where tbl = ?"));
        clear.bind(1, table);
        unsaved.bind(1, table);
        if (!clear.run() || !unsaved.run())
            return fail();
        CellWriter writer(handle, table);
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
        std::unordered_map<qint64, OpenSpan> open;
        qint64 lowestWritten = std::numeric_limits<qint64>::max(), highestWritten = std::numeric_limits<qint64>::min();
        qint64 lastSpan = std::numeric_limits<qint64>::min();
        OpenSpan *lastOpen = nullptr;
        const auto spanOf = [&](qint64 span) -> OpenSpan & {
            if (span != lastSpan) {
                OpenSpan &cells = open[span];
                if (cells.cells.empty())
                    cells.cells.resize(size_t(count));
                lastSpan = span;
                lastOpen = &cells;
            }
            return *lastOpen;
        };
        const auto writeOpen = [&] {
            // In order of their keys, so that the table's pages fill up as it grows.
            std::vector<qint64> spans;
            spans.reserve(open.size());
            for (const auto &entry : open)
                spans.push_back(entry.first);
            std::sort(spans.begin(), spans.end());
            for (auto &entry : open)
                entry.second.close();
            for (int c = 0; c < count; ++c) {
                for (qint64 span : spans) {
                    const bool mayBeKept = span >= lowestWritten && span <= highestWritten;
                    if (!writer.write(columns.at(c), 0, span, open[span].cells[size_t(c)], mayBeKept))
                        return false;
                }
            }
            // Written in transactions the page cache holds: one of all the
            // year's rows would lock searches out of the database while it spills.
            if (writer.written >= g_rowsPerTransaction) {
                writer.written = 0;
                if (!execute(handle, "commit") || !execute(handle, "begin"))
                    return false;
            }
            for (const auto &entry : open) {
                lowestWritten = qMin(lowestWritten, entry.first);
                highestWritten = qMax(highestWritten, entry.first);
            }
            open.clear();
            lastSpan = std::numeric_limits<qint64>::min();
            return true;
        };
        qint64 added = 0;
        const auto keepOn = [&] { return (open.size() <= MostOpenMinutes || writeOpen()) && (++added % 65536 != 0 || !stopped()); };
        g_packedBlocksRead = g_rowRangesRead = 0;
        const auto addRows = [&](qint64 from, qint64 to) {
            ++g_rowRangesRead;
            records.bind(1, from);
            records.bind(2, to);
            int code;
            while ((code = records.step()) == SQLITE_ROW) {
                addRecord(*records, selected, OverviewLevels[0], spanOf);
                if (!keepOn())
                    break;
            }
            records.reset();
            return code == SQLITE_DONE;
        };
        const auto addBlock = [&] {
            ++g_packedBlocksRead;
            for (qint64 i = 0; i < packed.count(); ++i) {
                addPackedRecord(packed, i, count, OverviewLevels[0], spanOf);
                if (!keepOn())
                    return false;
            }
            return true;
        };
        const qint64 perBlock = packed.rowidsPerBlock();
        bool read = perBlock > 0 || addRows(firstRowid, lastRowid + 1);
        for (qint64 block = floorDiv(firstRowid, qMax<qint64>(1, perBlock)); perBlock > 0 && read && block <= floorDiv(lastRowid, perBlock);
             ++block)
            read = packed.load(block) ? addBlock() : addRows(block * perBlock, (block + 1) * perBlock);
        if (!read || !writeOpen())
            return fail();
        std::set<qint64> hours;
        if (!writer.merged.empty()
            && !sumMinutesAgain(handle, writer, table, selected, blocks, writer.merged, &hours)
                    .isEmpty())
            return fail();
        if (lowestWritten <= highestWritten
            && !buildHours(handle, writer, table, columns, floorDiv(lowestWritten * OverviewLevels[0], OverviewLevels[1]),
                           floorDiv(highestWritten * OverviewLevels[0], OverviewLevels[1])))
            return fail();
        NativeStatement greatest(handle, QStringLiteral("select coalesce(max(rowid), 0) from main.%1").arg(table));
        if (greatest.step() != SQLITE_ROW || !saveState(handle, table, sqlite3_column_int64(*greatest, 0)))
            return fail();
    }
    if (stopped() || !execute(handle, "commit"))
        return fail();
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
    CellWriter writer(handle, table);
    if (!clear.ok() || !writer.ok())
        return writer.error();
    std::set<qint64> hours;
    const QString error = sumMinutesAgain(handle, writer, table, RecordColumns(family, columns),
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
