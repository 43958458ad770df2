#include "periods.h"

#include "meankinetic.h"

#include <QDate>

#include <algorithm>

namespace {

constexpr qint64 Day = 86400;

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

QDate dateOf(qint64 naive)
{
    return QDate(1970, 1, 1).addDays(floorDiv(naive, Day));
}

qint64 secondsOf(const QDate &date)
{
    return QDate(1970, 1, 1).daysTo(date) * Day;
}

qint64 overlap(qint64 from, qint64 to, const PeriodFigures &period)
{
    return qMax<qint64>(0, qMin(to, period.end) - qMax(from, period.start));
}

} // namespace

QList<PeriodFigures> g_periods;
PeriodFigures g_spanFigures;

double PeriodFigures::meanKinetic() const
{
    return meanKineticTemperature(kinetic.total(), numbers);
}

qint64 periodStart(qint64 at, PeriodLength length)
{
    switch (length) {
    case PeriodLength::Hour: return floorDiv(at, 3600) * 3600;
    case PeriodLength::Day: return floorDiv(at, Day) * Day;
    case PeriodLength::Week: {
        const QDate date = dateOf(at);
        return secondsOf(date.addDays(1 - date.dayOfWeek()));
    }
    case PeriodLength::Month: {
        const QDate date = dateOf(at);
        return secondsOf(QDate(date.year(), date.month(), 1));
    }
    }
    return at;
}

qint64 nextPeriodStart(qint64 start, PeriodLength length)
{
    switch (length) {
    case PeriodLength::Hour: return start + 3600;
    case PeriodLength::Day: return start + Day;
    case PeriodLength::Week: return start + 7 * Day;
    case PeriodLength::Month: return secondsOf(dateOf(start).addMonths(1));
    }
    return start;
}

namespace {

// Adds the points and excursions to the periods (in order, without overlap) that hold them.
void fillPeriods(QList<PeriodFigures> &periods, const QList<ExcursionPoint> &points, const QList<Excursion> &excursions)
{
    // The index of the period that holds `at`; the periods are few next to the records.
    const auto periodOf = [&](qint64 at) {
        const auto it = std::upper_bound(periods.cbegin(), periods.cend(), at,
                                         [](qint64 t, const PeriodFigures &p) { return t < p.start; });
        return it == periods.cbegin() || at >= std::prev(it)->end ? -1 : int(std::prev(it) - periods.cbegin());
    };
    for (const ExcursionPoint &point : points) {
        const int index = periodOf(point.time);
        if (index < 0)
            continue;
        PeriodFigures &p = periods[index];
        ++p.records;
        if (point.kind == ExcursionPoint::High)
            ++p.high;
        else if (point.kind == ExcursionPoint::Low)
            ++p.low;
        if (point.kind != ExcursionPoint::Number)
            continue;
        if (p.numbers == 0 || point.value < p.minimum)
            p.minimum = point.value;
        if (p.numbers == 0 || point.value > p.maximum)
            p.maximum = point.value;
        if (p.numbers == 0)
            p.firstValue = point.value;
        p.lastValue = point.value;
        ++p.numbers;
        p.sum.add(point.value);
        p.kinetic.add(kineticTerm(point.value));
    }
    for (const Excursion &e : excursions) {
        if (e.kind == Excursion::Alarm) // the instrument's own: listed, not counted against the limits
            continue;
        const bool gap = e.kind == Excursion::Gap;
        if (!gap) {
            const int index = periodOf(e.start);
            if (index >= 0)
                ++periods[index].excursions;
        }
        auto p = std::upper_bound(periods.begin(), periods.end(), e.start,
                                  [](qint64 t, const PeriodFigures &q) { return t < q.end; });
        for (; p != periods.end() && p->start < e.end; ++p) {
            const qint64 seconds = overlap(e.start, e.end, *p);
            (gap ? p->secondsWithoutRecords : p->secondsOutside) += seconds;
            if (e.kind == Excursion::AboveUpper)
                p->secondsAbove += seconds;
            else if (e.kind == Excursion::BelowLower)
                p->secondsBelow += seconds;
        }
    }
}

} // namespace

QList<PeriodFigures> periodFigures(const QList<ExcursionPoint> &points, const QList<Excursion> &excursions,
                                   PeriodLength length, qint64 windowStart, qint64 windowEnd)
{
    QList<PeriodFigures> periods;
    if (points.isEmpty())
        return periods;
    // From the first record's period to the last one's: before and after them the window holds nothing to say.
    const qint64 first = qMax(windowStart, points.first().time), last = qMin(windowEnd, points.last().time);
    for (qint64 at = periodStart(first, length); at <= last; at = nextPeriodStart(at, length)) {
        PeriodFigures period;
        period.start = at;
        period.end = nextPeriodStart(at, length);
        periods << period;
    }
    fillPeriods(periods, points, excursions);
    return periods;
}

PeriodFigures spanFigures(const QList<ExcursionPoint> &points, const QList<Excursion> &excursions, qint64 start,
                          qint64 end)
{
    QList<PeriodFigures> span(1);
    span[0].start = start;
    span[0].end = end + 1;
    fillPeriods(span, points, excursions);
    return span.first();
}
