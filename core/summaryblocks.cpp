#include "summaryblocks.h"

#include "recordtime.h"

#include <cmath>

namespace {

enum class Match { None, Some, All };

double writtenBound(double bound)
{
    return std::isinf(bound) ? bound : boundText(bound).toDouble();
}

Match timeMatch(const SummaryBlock &block, const SummaryCondition &condition)
{
    if (block.stamped == 0 || block.lastStamp < condition.st || block.firstStamp > condition.en)
        return Match::None;
    if (block.stamped == block.records && block.firstStamp >= condition.st && block.lastStamp <= condition.en)
        return Match::All;
    return Match::Some;
}

bool exactBound(double bound)
{
    constexpr double Exact = 9007199254740992.0;
    return std::isinf(bound) || std::fabs(bound) < Exact;
}

Match rangeMatch(const BlockColumn &column, qint64 records, double low, double high)
{
    // Beyond 2^53 a bound written as an integer compares with the values
    // otherwise than as a double: such a block is read again.
    if (unbounded(low, high))
        return Match::All;
    if (!(exactBound(low) && exactBound(high)))
        return Match::Some;
    if (column.values == 0 || column.castMaximum <= low || column.castMinimum >= high)
        return Match::None;
    if (column.totals.numbers == records && column.castMinimum > low && column.castMaximum < high)
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
        condition.open << qMakePair(writtenBound(bounds[i][0]), writtenBound(bounds[i][1]));
    bool everyRecord = !search.ishl;
    for (const auto &[low, high] : std::as_const(condition.open))
        everyRecord = everyRecord && unbounded(low, high);
    if (everyRecord)
        condition.kind = SummaryCondition::WindowOnly;
    return condition;
}

SearchDescription describeSearch(const MeterFamily &family, int meter, const TableSearch &search, bool chart)
{
    SearchDescription description{&family, search, chart, family.table(meter), valueColumnsOf(family, search.idx + 1),
                                  summaryCondition(family, search, chart), {}};
    description.key = QStringList{description.table, description.columns.join(QLatin1Char(',')),
                                  windowCondition(family, search, chart), QString::fromUtf8(description.condition.st),
                                  QString::fromUtf8(description.condition.en)}
                          .join(QLatin1Char('|'));
    return description;
}

bool recordMatches(const SummaryCondition &condition, const StoredValue *values, int count)
{
    switch (condition.kind) {
    case SummaryCondition::WindowOnly:
        return true;
    case SummaryCondition::Markers:
        for (int i = 0; i < count; ++i) {
            const StoredValue &v = values[i];
            if (v.isText && v.size == 2 && v.text[0] == v.text[1] && (v.text[0] == 'H' || v.text[0] == 'L'))
                return true;
        }
        return false;
    case SummaryCondition::Range:
        break;
    }
    for (int i = 0; i < count && i < condition.open.size(); ++i) {
        const auto [low, high] = condition.open.at(i);
        if (unbounded(low, high))
            continue;
        // cast(v as numeric)=v holds for a text read whole as a number, never for a blob or NULL.
        double number = 0;
        if (!values[i].isText || !readRecordNumber(values[i].text, values[i].size, &number)
            || !(number > low && number < high))
            return false;
    }
    return true;
}

bool matchedInDoubles(const SummaryCondition &condition)
{
    for (const auto &[low, high] : condition.open) {
        if (!exactBound(low) || !exactBound(high))
            return false;
    }
    return true;
}

QVector<SearchedBlock> planSearch(const SummaryBlocks &blocks, const SummaryCondition &condition)
{
    QVector<SearchedBlock> plan;
    for (const SummaryBlock &block : blocks) {
        const Match time = timeMatch(block, condition), match = qMin(time, valueMatch(block, condition));
        if (match == Match::None)
            continue;
        SearchedBlock searched{block.fromRow, block.toRow, match == Match::Some, time == Match::All, 0, {}};
        if (match == Match::All) {
            searched.matching = block.records;
            for (const BlockColumn &column : block.columns)
                searched.totals << column.totals;
        }
        plan << searched;
    }
    return plan;
}

PageStart pageStart(const QVector<SearchedBlock> &blocks, qint64 offset)
{
    const qint64 end = blocks.isEmpty() ? 0 : blocks.last().toRow;
    qint64 before = 0;
    for (const SearchedBlock &block : blocks) {
        if (before + block.matching > offset)
            return {block.fromRow, offset - before, end};
        before += block.matching;
    }
    return {end, 0, end}; // beyond the last record: an empty page
}

QStringList valueColumnsOf(const MeterFamily &family, int channel)
{
    QStringList columns;
    for (const QString &pattern : family.valueColumns)
        columns << QString(pattern).replace(QStringLiteral("%1"), QString::number(channel));
    return columns;
}

QString blockSumsStatement(const QString &table, const QStringList &columns, bool sums, bool packed)
{
    const QString values = columns.join(QStringLiteral(", "));
    return QStringLiteral("select %1, %2 from main.%3 not indexed where rowid >= :rowfrom and rowid < :rowto")
        .arg(sums ? QStringLiteral("block_sums(datetime(indate), rowid, %1)").arg(values) : QStringLiteral("null"),
             packed ? QStringLiteral("block_packed(rowid, indate, %1)").arg(values) : QStringLiteral("null"), table);
}

QString blockPassStatement(const MeterFamily &family, int meter, const TableSearch &search, bool chart,
                           qint64 blockRowids)
{
    QStringList columns{QStringLiteral("rowid / %1, count(rowid)").arg(blockRowids)};
    for (const QString &column : valueColumnsOf(family, search.idx + 1))
        columns << QStringLiteral("window_summary(%1, rowid)").arg(column);
    return QStringLiteral("select %1 from main.%2 not indexed where rowid >= :rowfrom and rowid < :rowto and %3 group by 1")
        .arg(columns.join(QStringLiteral(", ")), family.table(meter), windowCondition(family, search, chart));
}

QStringList everyValueColumn(const MeterFamily &family, int meter)
{
    QStringList columns;
    for (int channel = 1; channel <= qMax(1, family.channelCount(meter)); ++channel)
        columns << valueColumnsOf(family, channel);
    columns.removeDuplicates();
    return columns;
}
