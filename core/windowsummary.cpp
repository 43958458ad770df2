#include "windowsummary.h"

#include <QCoreApplication>

WindowSummary g_summary;
qint64 g_recordPosition = 0;

namespace {

QString windowCondition(const MeterFamily &family, const TableSearch &search, bool chart)
{
    const QString window = QStringLiteral("datetime(indate) between :indate1 and :indate2");
    return chart ? window : window + QStringLiteral(" and ") + valueCondition(family, search);
}

QString timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
}

QString tr(const char *text)
{
    return QCoreApplication::translate("WindowSummary", text);
}

QString valueText(const ValueSummary &value, const QString &name, int column)
{
    QString text = name + QStringLiteral(": ");
    if (value.numbers == 0) {
        text += tr("no readable value");
    } else {
        text += tr("min <a href=\"min%1\">%2</a> at %3, max <a href=\"max%1\">%4</a> at %5, mean %6")
                    .arg(column)
                    .arg(cellNumber(value.minimum), timeText(value.minimumTime), cellNumber(value.maximum),
                         timeText(value.maximumTime), cellNumber(value.mean));
    }
    text += tr(" · HH %1 · LL %2").arg(value.hh).arg(value.ll);
    if (value.unreadable > 0)
        text += tr(" · unreadable %1").arg(value.unreadable);
    return text;
}

} // namespace

QString summaryStatement(const MeterFamily &family, int meter, const TableSearch &search, bool chart, bool tableOrder)
{
    QStringList columns{QStringLiteral("count(rowid)")};
    for (const QString &pattern : family.valueColumns)
        columns << QStringLiteral("window_summary(%1, rowid)")
                       .arg(QString(pattern).replace(QStringLiteral("%1"), QString::number(search.idx + 1)));
    return QStringLiteral("select %1 from main.%2%3 where %4%5")
        .arg(columns.join(QStringLiteral(", ")), family.table(meter),
             tableOrder ? QStringLiteral(" not indexed") : QString(), windowCondition(family, search, chart),
             tableOrder ? QStringLiteral(" and rowid >= :rowfrom and rowid < :rowto") : QString());
}

WindowSummary mergeSummaries(const WindowSummary &earlier, const WindowSummary &later)
{
    WindowSummary merged{earlier.count + later.count, {}};
    for (int i = 0; i < qMax(earlier.values.size(), later.values.size()); ++i) {
        const ValueSummary a = earlier.values.value(i);
        const ValueSummary b = later.values.value(i);
        ValueSummary m = a;
        m.numbers = a.numbers + b.numbers;
        m.hh = a.hh + b.hh;
        m.ll = a.ll + b.ll;
        m.unreadable = a.unreadable + b.unreadable;
        // Of equal extremes the earlier rowid counts.
        if (b.numbers > 0
            && (a.numbers == 0 || b.minimum < a.minimum || (b.minimum == a.minimum && b.minimumRow < a.minimumRow))) {
            m.minimum = b.minimum;
            m.minimumRow = b.minimumRow;
            m.minimumTime = b.minimumTime;
        }
        if (b.numbers > 0
            && (a.numbers == 0 || b.maximum > a.maximum || (b.maximum == a.maximum && b.maximumRow < a.maximumRow))) {
            m.maximum = b.maximum;
            m.maximumRow = b.maximumRow;
            m.maximumTime = b.maximumTime;
        }
        m.mean = m.numbers > 0 ? (a.mean * double(a.numbers) + b.mean * double(b.numbers)) / double(m.numbers) : 0;
        merged.values << m;
    }
    return merged;
}

QString positionStatement(const MeterFamily &family, int meter, const TableSearch &search, bool chart)
{
    return QStringLiteral("select count(rowid) from %1 where %2 and rowid < :row")
        .arg(family.table(meter), windowCondition(family, search, chart));
}

ValueSummary valueSummary(const SummaryTotals &totals)
{
    ValueSummary value;
    value.numbers = totals.numbers;
    value.hh = totals.hh;
    value.ll = totals.ll;
    value.unreadable = totals.unreadable;
    if (totals.numbers > 0) {
        value.minimum = totals.minimum;
        value.maximum = totals.maximum;
        value.mean = (totals.sum + totals.sumError) / double(totals.numbers);
        value.minimumRow = totals.minimumRow;
        value.maximumRow = totals.maximumRow;
    }
    return value;
}

QString summaryText(const WindowSummary &summary, const QStringList &valueNames)
{
    QStringList parts{tr("Records %1").arg(summary.count)};
    for (int i = 0; i < summary.values.size(); ++i)
        parts << valueText(summary.values.at(i), tr(qPrintable(valueNames.value(i))), i);
    return parts.join(QStringLiteral(" · "));
}
