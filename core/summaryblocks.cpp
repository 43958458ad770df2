#include "summaryblocks.h"

#include "recordtime.h"

#include <cmath>

namespace {

enum class Match { None, Some, All };

Match timeMatch(const SummaryBlock &block, const SummaryCondition &condition)
{
    if (block.stamped == 0 || block.lastStamp < condition.st || block.firstStamp > condition.en)
        return Match::None;
    if (block.stamped == block.records && block.firstStamp >= condition.st && block.lastStamp <= condition.en)
        return Match::All;
    return Match::Some;
}

Match rangeMatch(const BlockColumn &column, qint64 records, double low, double high)
{
    // Beyond 2^53 a bound written as an integer compares with the values
    // otherwise than as a double: such a block is read again.
    constexpr double Exact = 9007199254740992.0;
    if (!(std::fabs(low) < Exact && std::fabs(high) < Exact))
        return Match::Some;
    if (column.values == 0 || column.castMaximum <= low || column.castMinimum >= high)
        return Match::None;
    if (column.values == records && column.castMinimum > low && column.castMaximum < high)
        return Match::All;
    return Match::Some;
}

Match valueMatch(const SummaryBlock &block, const SummaryCondition &condition)
{
    switch (condition.kind) {
    case SummaryCondition::WindowOnly:
        return Match::All;
    case SummaryCondition::Markers: {
        qint64 markers = 0;
        for (const BlockColumn &column : block.columns)
            markers += column.totals.hh + column.totals.ll;
        return markers == 0 ? Match::None : Match::Some;
    }
    case SummaryCondition::Range:
        break;
    }
    Match match = Match::All;
    for (int i = 0; i < block.columns.size() && i < condition.open.size(); ++i)
        match = qMin(match, rangeMatch(block.columns.at(i), block.records, condition.open.at(i).first,
                                       condition.open.at(i).second));
    return match;
}

} // namespace

SummaryCondition summaryCondition(const MeterFamily &family, const TableSearch &search, bool chart)
{
    SummaryCondition condition;
    condition.st = recordTimeText(search.st).toUtf8();
    condition.en = recordTimeText(search.en).toUtf8();
    if (chart)
        return condition;
    condition.kind = search.ishl ? SummaryCondition::Markers : SummaryCondition::Range;
    const double bounds[][2] = {{search.pv1, search.pv2}, {search.th1, search.th2}};
    // The bounds as the statements write them.
    for (int i = 0; i < family.valueColumns.size() && i < 2; ++i)
        condition.open << qMakePair(boundText(bounds[i][0]).toDouble(), boundText(bounds[i][1]).toDouble());
    return condition;
}

SummaryPlan planSummary(const SummaryBlocks &blocks, const SummaryCondition &condition)
{
    SummaryPlan plan;
    if (!blocks.isEmpty())
        plan.known.values.resize(blocks.first().columns.size());
    for (const SummaryBlock &block : blocks) {
        const Match match = qMin(timeMatch(block, condition), valueMatch(block, condition));
        if (match == Match::All) {
            WindowSummary whole{block.records, {}};
            for (const BlockColumn &column : block.columns)
                whole.values << valueSummary(column.totals);
            plan.known = mergeSummaries(plan.known, whole);
        } else if (match == Match::Some) {
            if (!plan.rest.isEmpty() && plan.rest.last().to == block.fromRow)
                plan.rest.last().to = block.toRow;
            else
                plan.rest << RowRange{block.fromRow, block.toRow};
            plan.restRecords += block.records;
        }
    }
    return plan;
}

QPair<QVector<RowRange>, QVector<RowRange>> splitRanges(const QVector<RowRange> &ranges, double share)
{
    qint64 rowids = 0;
    for (const RowRange &range : ranges)
        rowids += range.to - range.from;
    qint64 left = qint64(double(rowids) * share);
    QPair<QVector<RowRange>, QVector<RowRange>> parts;
    for (const RowRange &range : ranges) {
        const qint64 taken = qBound<qint64>(0, left, range.to - range.from);
        if (taken > 0)
            parts.first << RowRange{range.from, range.from + taken};
        if (taken < range.to - range.from)
            parts.second << RowRange{range.from + taken, range.to};
        left -= taken;
    }
    return parts;
}

QString summaryBlockStatement(const MeterFamily &family, int meter, int channel)
{
    QStringList columns{QStringLiteral("count(*), count(datetime(indate)), min(datetime(indate)), max(datetime(indate))")};
    for (const QString &pattern : family.valueColumns) {
        const QString value = QString(pattern).replace(QStringLiteral("%1"), QString::number(channel));
        columns << QStringLiteral("count(%1), min(cast(%1 as real)), max(cast(%1 as real)), window_summary(%1, rowid)")
                       .arg(value);
    }
    return QStringLiteral("select %1 from main.%2 not indexed where rowid >= :rowfrom and rowid < :rowto")
        .arg(columns.join(QStringLiteral(", ")), family.table(meter));
}
