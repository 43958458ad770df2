#include "overviewline.h"

#include "wallclock.h"

#include <algorithm>
#include <limits>

namespace {

double keyOf(qint64 naive)
{
    return double(localTimeKey(naive));
}

// The records that stand for a column, in time order, each once.
QVector<OverviewPoint> pointsOf(const OverviewCell &cell)
{
    QVector<OverviewPoint> points{cell.first};
    if (cell.numbers > 0)
        points << cell.minimum << cell.maximum;
    points << cell.last;
    std::sort(points.begin(), points.end(), [](const OverviewPoint &a, const OverviewPoint &b) { return a.before(b); });
    points.erase(std::unique(points.begin(), points.end(),
                             [](const OverviewPoint &a, const OverviewPoint &b) { return a.rowid == b.rowid; }),
                 points.end());
    return points;
}

} // namespace

OverviewLine overviewLine(const QVector<OverviewCell> &cells, const OverviewPlan &plan, double gap)
{
    OverviewLine line;
    qint64 previous = std::numeric_limits<qint64>::min();
    for (int column = 0; column < cells.size(); ++column) {
        const OverviewCell &cell = cells.at(column);
        if (cell.records == 0)
            continue;
        for (const OverviewPoint &point : pointsOf(cell)) {
            if (previous != std::numeric_limits<qint64>::min() && double(point.time - previous) > gap) {
                line.keys << keyOf(previous) + 1;
                line.values << qQNaN();
                line.rowids << -1;
            }
            line.keys << keyOf(point.time);
            line.values << point.value;
            line.rowids << point.rowid;
            previous = point.time;
        }
        const double middle = keyOf((plan.columnStart(column) + plan.columnEnd(column)) / 2);
        if (cell.hh > 0)
            line.hhKeys << middle;
        if (cell.ll > 0)
            line.llKeys << middle;
    }
    std::sort(line.hhKeys.begin(), line.hhKeys.end());
    std::sort(line.llKeys.begin(), line.llKeys.end());
    return line;
}

double overviewGap(const Overview &overview, int gapIntervals)
{
    qint64 records = 0;
    for (const OverviewCell &cell : overview.cells.value(0))
        records += cell.records;
    const OverviewPlan &plan = overview.plan;
    const double interval = records > 1 ? double(plan.to - plan.from + 1) / double(records) : 0;
    return qMax(gapIntervals * interval, 2.0 * double(plan.columnSeconds));
}
