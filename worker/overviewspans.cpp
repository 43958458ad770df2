#include "overviewspans.h"

#include "families.h"
#include "packedcolumns.h"
#include "recordnumber.h"
#include "wallclock.h"

#include <algorithm>
#include <limits>
#include <sqlite3.h>

void OverviewSpans::Span::close()
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

OverviewSpans::Columns::Columns(const MeterFamily &family, const QStringList &values) : values(values)
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

QString OverviewSpans::Columns::selected() const
{
    QStringList all = values;
    for (int alarm : alarms)
        all << QStringLiteral("alm%1").arg(alarm);
    return all.join(QStringLiteral(", "));
}

OverviewSpans::OverviewSpans(int columns) : count(columns), lastSpan(std::numeric_limits<qint64>::min())
{
}

OverviewSpans::Span &OverviewSpans::spanOf(qint64 span)
{
    if (span != lastSpan) {
        Span &cells = open[span];
        if (cells.cells.empty())
            cells.cells.resize(size_t(count));
        lastSpan = span;
        lastOpen = &cells;
    }
    return *lastOpen;
}

void OverviewSpans::addValue(Span &span, size_t column, OverviewPoint point, OverviewCell::Kind kind, double number)
{
    if (kind == OverviewCell::Kind::Number)
        point.value = number;
    span.cells[column].add(point, kind);
    span.kinds.push_back(kind);
    span.values.push_back(point.value);
}

void OverviewSpans::addRow(sqlite3_stmt *row, const Columns &columns)
{
    qint64 time = 0;
    if (!naiveSeconds(reinterpret_cast<const char *>(sqlite3_column_text(row, 0)), sqlite3_column_bytes(row, 0), &time))
        return;
    const qint64 rowid = sqlite3_column_int64(row, 1);
    Span &span = spanOf(floorDiv(time, OverviewLevels[0]));
    span.records.push_back({time, rowid, span.records.size()});
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

void OverviewSpans::addBlock(const PackedColumns &block)
{
    for (qint64 i = 0; i < block.count(); ++i) {
        const qint64 time = block.secondsAt(i), rowid = block.rowidAt(i);
        Span &span = spanOf(floorDiv(time, OverviewLevels[0]));
        span.records.push_back({time, rowid, span.records.size()});
        for (int c = 0; c < count; ++c) {
            double number = 0;
            const auto kind = OverviewCell::Kind(int(block.kindAt(c, i, &number)));
            addValue(span, size_t(c), {time, rowid}, kind, number);
        }
    }
}

OverviewSpans::Closed OverviewSpans::close(bool keepingLast)
{
    Closed closed;
    closed.reserve(open.size());
    for (auto &entry : open) {
        if (keepingLast && entry.first == lastSpan)
            continue;
        entry.second.close();
        closed.emplace_back(entry.first, std::move(entry.second));
    }
    std::sort(closed.begin(), closed.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &entry : closed)
        open.erase(entry.first);
    if (!open.count(lastSpan)) {
        lastSpan = std::numeric_limits<qint64>::min();
        lastOpen = nullptr;
    }
    return closed;
}
