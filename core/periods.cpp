#include "periods.h"

#include "meankinetic.h"
#include "wallclock.h"

#include <QDate>

#include <algorithm>

namespace {

constexpr qint64 Day = 86400;

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

PeriodFigures joinedFigures(const QList<PeriodFigures> &periods)
{
    PeriodFigures all;
    if (periods.isEmpty())
        return all;
    all.start = periods.first().start;
    all.end = periods.last().end;
    for (const PeriodFigures &p : periods) {
        if (p.numbers > 0 && (all.numbers == 0 || p.minimum < all.minimum))
            all.minimum = p.minimum, all.minimumTime = p.minimumTime;
        if (p.numbers > 0 && (all.numbers == 0 || p.maximum > all.maximum))
            all.maximum = p.maximum, all.maximumTime = p.maximumTime;
        if (p.numbers > 0 && all.numbers == 0)
            all.firstValue = p.firstValue;
        if (p.numbers > 0)
            all.lastValue = p.lastValue;
        all.records += p.records;
        all.numbers += p.numbers;
        all.sum.add(p.sum);
        all.kinetic.add(p.kinetic);
        all.high += p.high;
        all.low += p.low;
        all.excursions += p.excursions;
        all.secondsOutside += p.secondsOutside;
        all.secondsAbove += p.secondsAbove;
        all.secondsBelow += p.secondsBelow;
        all.secondsWithoutRecords += p.secondsWithoutRecords;
    }
    return all;
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

PeriodTabulator::PeriodTabulator(PeriodLength length, qint64 windowStart, qint64 windowEnd)
    : length(length), windowStart(windowStart), windowEnd(windowEnd)
{
}

PeriodTabulator PeriodTabulator::span(qint64 start, qint64 end)
{
    // One period from start to end: every record of the window falls into it.
    PeriodTabulator span(PeriodLength::Hour, start, end);
    PeriodFigures period;
    period.start = start;
    period.end = end + 1;
    span.periods << period;
    return span;
}

PeriodFigures *PeriodTabulator::periodAt(qint64 at)
{
    if (at < windowStart || at > windowEnd || (!periods.isEmpty() && at < periods.last().start))
        return nullptr; // records come in time order, within the window
    // From the first record's period to the last one's: before and after them the window holds nothing to say.
    if (periods.isEmpty()) {
        PeriodFigures period;
        period.start = periodStart(at, length);
        period.end = nextPeriodStart(period.start, length);
        periods << period;
    }
    while (at >= periods.last().end) {
        PeriodFigures period;
        period.start = periods.last().end;
        period.end = nextPeriodStart(period.start, length);
        periods << period;
    }
    return &periods.last();
}

void PeriodTabulator::add(const ExcursionPoint &point)
{
    PeriodFigures *p = periodAt(point.time);
    if (!p)
        return;
    ++p->records;
    if (point.kind == ExcursionPoint::High)
        ++p->high;
    else if (point.kind == ExcursionPoint::Low)
        ++p->low;
    if (point.kind != ExcursionPoint::Number)
        return;
    if (p->numbers == 0 || point.value < p->minimum)
        p->minimum = point.value, p->minimumTime = point.time;
    if (p->numbers == 0 || point.value > p->maximum)
        p->maximum = point.value, p->maximumTime = point.time;
    if (p->numbers == 0)
        p->firstValue = point.value;
    p->lastValue = point.value;
    ++p->numbers;
    p->sum.add(point.value);
    p->kinetic.add(kineticTerm(point.value));
}

void PeriodTabulator::addWhole(const OverviewCell &cell)
{
    PeriodFigures *p = periodAt(cell.first.time);
    if (!p || cell.records == 0)
        return;
    p->records += cell.records;
    p->high += cell.hh;
    p->low += cell.ll;
    if (cell.numbers == 0)
        return;
    if (p->numbers == 0 || cell.minimum.value < p->minimum)
        p->minimum = cell.minimum.value, p->minimumTime = cell.minimum.time;
    if (p->numbers == 0 || cell.maximum.value > p->maximum)
        p->maximum = cell.maximum.value, p->maximumTime = cell.maximum.time;
    if (p->numbers == 0)
        p->firstValue = cell.firstNumber.value;
    p->lastValue = cell.lastNumber.value;
    p->numbers += cell.numbers;
    p->sum.add(cell.sum);
    p->kinetic.add(cell.kinetic);
}

void PeriodTabulator::addExcursion(const Excursion &e)
{
    if (e.kind == Excursion::Alarm) // the instrument's own: listed, not counted against the limits
        return;
    periodAt(e.end); // the record that ends it may come after it
    while (firstUnended < periods.size() && periods.at(firstUnended).end <= e.start)
        ++firstUnended;
    const bool gap = e.kind == Excursion::Gap;
    if (!gap && firstUnended < periods.size() && periods.at(firstUnended).start <= e.start)
        ++periods[firstUnended].excursions;
    for (auto p = periods.begin() + firstUnended; p != periods.end() && p->start < e.end; ++p) {
        const qint64 seconds = overlap(e.start, e.end, *p);
        (gap ? p->secondsWithoutRecords : p->secondsOutside) += seconds;
        if (e.kind == Excursion::AboveUpper)
            p->secondsAbove += seconds;
        else if (e.kind == Excursion::BelowLower)
            p->secondsBelow += seconds;
    }
}

QList<PeriodFigures> PeriodTabulator::finish(const QList<Excursion> &excursions)
{
    for (const Excursion &e : excursions)
        addExcursion(e);
    return periods;
}

QList<PeriodFigures> periodFigures(const QList<ExcursionPoint> &points, const QList<Excursion> &excursions,
                                   PeriodLength length, qint64 windowStart, qint64 windowEnd)
{
    PeriodTabulator periods(length, windowStart, windowEnd);
    for (const ExcursionPoint &point : points)
        periods.add(point);
    return periods.finish(excursions);
}

PeriodFigures spanFigures(const QList<ExcursionPoint> &points, const QList<Excursion> &excursions, qint64 start,
                          qint64 end)
{
    PeriodTabulator span = PeriodTabulator::span(start, end);
    for (const ExcursionPoint &point : points)
        span.add(point);
    return span.finish(excursions).first();
}
