#include "overviewreading.h"

#include "nativestatement.h"
#include "overviewrows.h"
#include "rowinserter.h"
#include "wallclock.h"

#include <algorithm>
#include <functional>
#include <sqlite3.h>
#include <utility>
#include <vector>

namespace RecordOverview {

QString read(QSqlDatabase &db, const QString &table, const QString &column, const StampBlocks &stamps,
             const OverviewPlan &plan, QVector<OverviewCell> *cells, StretchReads *stretches)
{
    StretchReads counted;
    if (!stretches)
        stretches = &counted;
    sqlite3 *handle = sqliteHandle(db);
    cells->fill(OverviewCell(), plan.columns);
    NativeStatement spans(handle, QStringLiteral("select span, %1 from record_overview where tbl = ? and col = ? "
                                           "and level = ? and span >= ? and span < ?").arg(QLatin1String(CellColumns)));
    NativeStatement records(handle, StampBlocks::stretchStatement(column, table, false)),
        withinRowids(handle, StampBlocks::stretchStatement(column, table, true));
    if (!spans.ok() || !records.ok() || !withinRowids.ok())
        return !spans.ok() ? spans.error() : records.ok() ? withinRowids.error() : records.error();
    NativeStatement byRowids(handle, QStringLiteral("select datetime(indate), rowid, %1 from main.%2 where rowid between ? and ?")
                                         .arg(column, table));
    QString error;
    const auto pointOfRow = [](sqlite3_stmt *row, OverviewPoint *point, OverviewCell::Kind *kind) {
        *point = OverviewPoint{0, sqlite3_column_int64(row, 1)};
        if (!naiveSeconds(reinterpret_cast<const char *>(sqlite3_column_text(row, 0)), sqlite3_column_bytes(row, 0),
                          &point->time))
            return false;
        double number = 0;
        *kind = overviewKind(reinterpret_cast<const char *>(sqlite3_column_text(row, 2)), sqlite3_column_bytes(row, 2), &number);
        if (*kind == OverviewCell::Kind::Number)
            point->value = number;
        return true;
    };
    // Bound by the same stamp texts: every record read lies in a column.
    const auto addPoint = [&](const OverviewPoint &point, OverviewCell::Kind kind) {
        (*cells)[qBound(0, plan.columnOf(point.time), plan.columns - 1)].add(point, kind);
    };
    // The records of [from, to) inside one minute, read between the rowids
    // that the minute's kept cell holds, once every record of the minute
    // proves to lie there; false where they do not (a clock set back).
    const auto readWithinMinute = [&](qint64 from, qint64 to) {
        const qint64 minute = floorDiv(from, OverviewLevels[0]);
        spans.bind(1, table);
        spans.bind(2, column);
        spans.bind(3, qint64(0));
        spans.bind(4, minute);
        spans.bind(5, minute + 1);
        OverviewCell cell;
        const int code = spans.step();
        if (code == SQLITE_ROW)
            cell = readCell(*spans, 1, minute * OverviewLevels[0]);
        spans.reset();
        if (code != SQLITE_ROW)
            return code == SQLITE_DONE; // a minute without records
        qint64 lo = std::min(cell.first.rowid, cell.last.rowid), hi = std::max(cell.first.rowid, cell.last.rowid);
        if (cell.numbers > 0) {
            lo = std::min({lo, cell.minimum.rowid, cell.maximum.rowid});
            hi = std::max({hi, cell.minimum.rowid, cell.maximum.rowid});
        }
        byRowids.bind(1, lo);
        byRowids.bind(2, hi);
        std::vector<std::pair<OverviewPoint, OverviewCell::Kind>> inside;
        qint64 ofMinute = 0;
        OverviewPoint point;
        OverviewCell::Kind kind = OverviewCell::Kind::Number;
        while (byRowids.step() == SQLITE_ROW) {
            if (!pointOfRow(*byRowids, &point, &kind) || floorDiv(point.time, OverviewLevels[0]) != minute)
                continue;
            ++ofMinute;
            if (point.time >= from && point.time < to)
                inside.emplace_back(point, kind);
        }
        byRowids.reset();
        if (ofMinute != cell.records)
            return false;
        for (const auto &[at, as] : inside)
            addPoint(at, as);
        return true;
    };
    // [from, to) at `level` and below; every span read lies inside one column.
    std::function<void(qint64, qint64, int)> readRange = [&](qint64 from, qint64 to, int level) {
        if (from >= to || !error.isEmpty())
            return;
        if (level < 0) {
            // At a window's edges, a minute or two: each where its cell says.
            const qint64 minute = OverviewLevels[0];
            if (floorDiv(to - 1, minute) - floorDiv(from, minute) <= 1) {
                const qint64 next = (floorDiv(from, minute) + 1) * minute;
                if (next < to) {
                    readRange(from, next, level);
                    return readRange(next, to, level);
                }
                if (byRowids.ok() && readWithinMinute(from, to)) {
                    ++stretches->byCells;
                    return;
                }
            }
            ++stretches->byBlocks;
            const bool read = stamps.step(records, withinRowids, from, to, [&](sqlite3_stmt *row) {
                OverviewPoint point;
                OverviewCell::Kind kind = OverviewCell::Kind::Number;
                if (pointOfRow(row, &point, &kind))
                    addPoint(point, kind);
                return true;
            });
            if (!read)
                error = stamps.whole() ? records.error() : withinRowids.error();
            return;
        }
        const qint64 seconds = OverviewLevels[level];
        const qint64 innerFrom = floorDiv(from + seconds - 1, seconds), innerTo = floorDiv(to, seconds);
        if (innerFrom >= innerTo)
            return readRange(from, to, level - 1);
        spans.bind(1, table);
        spans.bind(2, column);
        spans.bind(3, qint64(level));
        spans.bind(4, innerFrom);
        spans.bind(5, innerTo);
        int code;
        while ((code = spans.step()) == SQLITE_ROW) {
            const qint64 start = sqlite3_column_int64(*spans, 0) * seconds;
            (*cells)[plan.columnOf(start)].merge(readCell(*spans, 1, start));
        }
        spans.reset();
        if (code != SQLITE_DONE)
            error = spans.error();
        readRange(from, innerFrom * seconds, level - 1);
        readRange(innerTo * seconds, to, level - 1);
    };
    readRange(plan.from, plan.to + 1, plan.level);
    return error;
}

} // namespace RecordOverview
