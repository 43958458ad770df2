#include "windowsummary.h"

#include "meankinetic.h"
#include "recordnumber.h"

#include <QCoreApplication>
#include <cmath>

WindowSummary g_summary;
qint64 g_recordPosition = 0;
RecordAtTime g_recordAtTime;

namespace {

QString timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString tr(const char *text)
{
    return QCoreApplication::translate("WindowSummary", text);
}

QString valueText(const ValueSummary &value, const QString &name, const QString &link, bool celsius)
{
    QString text = name + QStringLiteral(": ");
    if (value.numbers == 0) {
        text += tr("no readable value");
    } else {
        text += tr("min <a href=\"min%1\">%2</a> at %3, max <a href=\"max%1\">%4</a> at %5, mean %6")
                    .arg(link)
                    .arg(cellNumber(value.minimum), timeText(value.minimumTime), cellNumber(value.maximum),
                         timeText(value.maximumTime), cellNumber(value.mean));
        if (celsius && !std::isnan(value.meanKinetic))
            text += tr(", MKT %1 °C").arg(cellNumber(value.meanKinetic));
    }
    text += tr(" · HH %1 · LL %2").arg(value.hh).arg(value.ll);
    if (value.unreadable > 0)
        text += tr(" · unreadable %1").arg(value.unreadable);
    return text;
}

} // namespace

QString windowCondition(const MeterFamily &family, const TableSearch &search, bool chart)
{
    const QString window = QStringLiteral("datetime(indate) between :indate1 and :indate2");
    return chart ? window : window + QStringLiteral(" and ") + valueCondition(family, search);
}

QString summaryStatement(const MeterFamily &family, int meter, const TableSearch &search, bool chart)
{
    QStringList columns{QStringLiteral("count(rowid)")};
    for (const QString &pattern : family.valueColumns)
        columns << QStringLiteral("window_summary(%1, rowid)")
                       .arg(QString(pattern).replace(QStringLiteral("%1"), QString::number(search.idx + 1)));
    return QStringLiteral("select %1 from main.%2 where %3")
        .arg(columns.join(QStringLiteral(", ")), family.table(meter), windowCondition(family, search, chart));
}

void addStoredValue(SummaryTotals &totals, const char *text, qsizetype size, qint64 row)
{
    if (!text) {
        ++totals.unreadable;
        return;
    }
    if (size == 2 && text[1] == text[0] && (text[0] == 'H' || text[0] == 'L')) {
        ++(text[0] == 'H' ? totals.hh : totals.ll);
        return;
    }
    double number = 0;
    if (!readRecordNumber(text, size, &number)) {
        ++totals.unreadable;
        return;
    }
    addNumber(totals, number, kineticTerm(number), row);
}

void addNumber(SummaryTotals &totals, double number, double kinetic, qint64 row)
{
    // Rows may arrive in time-index order: of equal extremes the lowest rowid counts.
    const bool first = totals.numbers == 0;
    if (first || number < totals.minimum || (number == totals.minimum && row < totals.minimumRow)) {
        totals.minimum = number;
        totals.minimumRow = row;
    }
    if (first || number > totals.maximum || (number == totals.maximum && row < totals.maximumRow)) {
        totals.maximum = number;
        totals.maximumRow = row;
    }
    totals.sum.add(number);
    totals.kinetic.add(kinetic);
    ++totals.numbers;
}

void CompensatedSum::add(double term)
{
    const double total = sum + term;
    error += std::fabs(sum) >= std::fabs(term) ? (sum - total) + term : (term - total) + sum;
    sum = total;
}

void CompensatedSum::add(const CompensatedSum &later)
{
    // The later sum joins the total as one more term would.
    add(later.sum);
    error += later.error;
}

void addTotals(SummaryTotals &earlier, const SummaryTotals &later)
{
    if (later.numbers > 0) {
        if (earlier.numbers == 0 || later.minimum < earlier.minimum) {
            earlier.minimum = later.minimum;
            earlier.minimumRow = later.minimumRow;
        }
        if (earlier.numbers == 0 || later.maximum > earlier.maximum) {
            earlier.maximum = later.maximum;
            earlier.maximumRow = later.maximumRow;
        }
        earlier.sum.add(later.sum);
        earlier.kinetic.add(later.kinetic);
    }
    earlier.numbers += later.numbers;
    earlier.hh += later.hh;
    earlier.ll += later.ll;
    earlier.unreadable += later.unreadable;
}

QString positionStatement(const MeterFamily &family, int meter, const TableSearch &search, bool chart)
{
    return QStringLiteral("select count(rowid) from %1 where %2 and rowid < :row and rowid >= :rowfrom")
        .arg(family.table(meter), windowCondition(family, search, chart));
}

QString recordAtStatement(const MeterFamily &family, int meter, const TableSearch &search, bool chart, bool backwards,
                          bool withinRowids)
{
    return QStringLiteral("select rowid, indate%6 from main.%1 where %2 and datetime(indate) %3 :at%5 "
                          "order by datetime(indate) %4, rowid %4 limit 1")
        .arg(family.table(meter), windowCondition(family, search, chart), backwards ? QStringLiteral("<=") : QStringLiteral(">="),
             backwards ? QStringLiteral("desc") : QStringLiteral("asc"),
             withinRowids ? QStringLiteral(" and rowid between :rowfrom and :rowto") : QString(),
             withinRowids ? QStringLiteral(", datetime(indate)") : QString());
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
        value.mean = totals.sum.total() / double(totals.numbers);
        value.meanKinetic = meanKineticTemperature(totals.kinetic.total(), totals.numbers);
        value.minimumRow = totals.minimumRow;
        value.maximumRow = totals.maximumRow;
    }
    return value;
}

QString summaryText(const WindowSummary &summary, const QStringList &valueNames, int channel, const QStringList &units)
{
    QStringList parts{tr("Records %1").arg(summary.count)};
    for (int i = 0; i < summary.values.size(); ++i) {
        const QString link = channel < 0 ? QString::number(i) : QStringLiteral("%1/%2").arg(i).arg(channel);
        parts << valueText(summary.values.at(i), valueNames.value(i), link, units.value(i) == QStringLiteral("°C"));
    }
    return parts.join(QStringLiteral(" · "));
}
