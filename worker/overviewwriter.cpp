#include "overviewwriter.h"

#include "overviewrows.h"

#include <cmath>
#include <sqlite3.h>

OverviewWriter::OverviewWriter(sqlite3 *handle, const QString &table)
    : table(table),
      insert(handle, QStringLiteral("insert or replace into record_overview values (?, ?, ?, ?, %1)")
                         .arg(QStringLiteral("?, ").repeated(22) + QStringLiteral("?"))),
      kept(handle, QStringLiteral("select %1 from record_overview where tbl = ? and col = ? and level = ? and span = ?")
                       .arg(QLatin1String(CellColumns)))
{
}

bool OverviewWriter::write(const QString &column, int level, qint64 span, OverviewCell cell, bool mayBeKept)
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

bool OverviewWriter::writeMinutes(const QStringList &columns, const OverviewSpans::Closed &minutes)
{
    // A column after another, each in the order of its minutes, so that the table's pages fill up as it grows.
    for (int c = 0; c < columns.size(); ++c) {
        for (const auto &[minute, span] : minutes) {
            const bool mayBeKept = minute >= lowestMinute && minute <= highestMinute;
            if (!write(columns.at(c), 0, minute, span.cells[size_t(c)], mayBeKept))
                return false;
        }
    }
    for (const auto &entry : minutes) {
        lowestMinute = qMin(lowestMinute, entry.first);
        highestMinute = qMax(highestMinute, entry.first);
    }
    return true;
}

void OverviewWriter::bindKey(NativeStatement &statement, const QString &column, int level, qint64 span)
{
    statement.bind(1, table);
    statement.bind(2, column);
    statement.bind(3, qint64(level));
    statement.bind(4, span);
}
