#include "excursions.h"

#include "excursionlist.h"
#include "packedrecords.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>

namespace {

// Where a record puts the value column: the excursion it starts or
// continues, if any, given the one open.
bool outside(const ExcursionPoint &point, const ChannelLimits &limits, Excursion::Kind kind)
{
    switch (kind) {
    case Excursion::AboveUpper: return point.kind == ExcursionPoint::Number && limits.hasUpper() && point.value > limits.upper;
    case Excursion::BelowLower: return point.kind == ExcursionPoint::Number && limits.hasLower() && point.value < limits.lower;
    case Excursion::High: return point.kind == ExcursionPoint::High;
    case Excursion::Low: return point.kind == ExcursionPoint::Low;
    case Excursion::Gap:
    case Excursion::Alarm: break;
    }
    return false;
}

// Still in the open excursion: beyond the limit less the dead-band.
bool stillOutside(const ExcursionPoint &point, const ChannelLimits &limits, Excursion::Kind kind)
{
    if (kind == Excursion::AboveUpper)
        return point.kind == ExcursionPoint::Number && point.value > limits.upper - limits.deadBand;
    if (kind == Excursion::BelowLower)
        return point.kind == ExcursionPoint::Number && point.value < limits.lower + limits.deadBand;
    return outside(point, limits, kind);
}

// The predicates that decide what a number does; a span of numbers that
// all agree on them acts as its first record followed by the rest extending
// whatever that one left open.
struct Sides {
    bool above = false, below = false, stillAbove = false, stillBelow = false;
    bool operator==(const Sides &o) const
    {
        return above == o.above && below == o.below && stillAbove == o.stillAbove && stillBelow == o.stillBelow;
    }
};

Sides sidesOf(double value, const ChannelLimits &limits)
{
    ExcursionPoint point;
    point.value = value;
    return {outside(point, limits, Excursion::AboveUpper), outside(point, limits, Excursion::BelowLower),
            stillOutside(point, limits, Excursion::AboveUpper), stillOutside(point, limits, Excursion::BelowLower)};
}

ExcursionPoint pointOf(const OverviewPoint &point)
{
    ExcursionPoint p;
    p.time = point.time;
    p.value = point.value;
    p.rowid = point.rowid;
    return p;
}

} // namespace

ExcursionFinder::ExcursionFinder(const ChannelLimits &limits, qint64 gapSeconds) : limits(limits), gapSeconds(gapSeconds)
{
}

void ExcursionFinder::add(const ExcursionPoint &point)
{
    addAlarms(point);
    lastAny = point.time;
    // A text that is no number is no reading: it changes nothing else.
    if (point.kind == ExcursionPoint::Unreadable)
        return;
    if (lastReading && point.time - *lastReading > gapSeconds) {
        close(*lastReading, true);
        keep(Excursion{Excursion::Gap, false, 0, *lastReading, point.time, 0, 0, 0, point.rowid});
    }
    lastReading = point.time;
    if (open && stillOutside(point, limits, open->kind)) {
        extend(point);
        return;
    }
    if (open)
        close(point.time, false);
    for (const Excursion::Kind kind : {Excursion::AboveUpper, Excursion::BelowLower, Excursion::High, Excursion::Low}) {
        if (outside(point, limits, kind)) {
            open = Excursion{kind, false, 0, point.time, point.time, point.value, point.time, 0, point.rowid};
            extend(point);
            break;
        }
    }
}

void ExcursionFinder::addPacked(const PackedRecords &records, qint64 begin, qint64 end)
{
    const PackedValues &values = *records.values;
    // The codes of the numbers inside both limits, and of those still beyond each less the dead-band.
    const QuietCodes quiet{limits.hasLower() ? values.firstCode(limits.lower, false) : 0,
                           limits.hasUpper() ? values.firstCode(limits.upper, true) : values.numberCodes(),
                           values.firstCode(limits.upper - limits.deadBand, true),
                           values.firstCode(limits.lower + limits.deadBand, false)};
    const bool byCodes = runningAlarms == 0 && values.visitCodes([&](const auto &codes) {
        for (qint64 i = begin; i < end;) {
            i = skipQuiet(records, codes, quiet, i, end);
            if (i < end)
                add(records.pointAt(i++));
        }
    });
    if (!byCodes) {
        for (qint64 i = begin; i < end; ++i)
            add(records.pointAt(i));
    }
}

// From `begin`, the numbers that change nothing but the times of the last
// reading or extend the open excursion; the first record after them.
template<typename Codes>
qint64 ExcursionFinder::skipQuiet(const PackedRecords &records, const Codes &codes, const QuietCodes &quiet,
                                  qint64 begin, qint64 end)
{
    if (!lastReading)
        return begin;
    const PackedValues &values = *records.values;
    const quint32 numberCodes = values.numberCodes();
    qint64 previous = *lastReading, i = begin;
    if (!open) {
        for (; i < end; ++i) {
            const quint32 code = codes[i];
            if (code < quiet.insideFrom || code >= quiet.insideTo || records.seconds[i] - previous > gapSeconds)
                break;
            previous = records.seconds[i];
        }
    } else if (open->kind == Excursion::AboveUpper || open->kind == Excursion::BelowLower) {
        const bool above = open->kind == Excursion::AboveUpper;
        const quint32 from = above ? quiet.stillAboveFrom : 0;
        const quint32 to = above ? numberCodes : quiet.stillBelowTo;
        qint64 extremeAt = -1;
        quint32 extremeCode = 0;
        for (; i < end; ++i) {
            const quint32 code = codes[i];
            if (code < from || code >= to || records.seconds[i] - previous > gapSeconds)
                break;
            // Of equals the earliest, as extend() keeps it.
            if (extremeAt < 0 || (above ? code > extremeCode : code < extremeCode))
                extremeCode = code, extremeAt = i;
            previous = records.seconds[i];
        }
        if (extremeAt >= 0) {
            open->records += i - begin;
            open->end = previous;
            const double extreme = values.numberOf(extremeCode);
            if (above ? extreme > open->extreme : extreme < open->extreme)
                open->extreme = extreme, open->extremeTime = records.seconds[extremeAt];
        }
    }
    if (i > begin)
        lastAny = lastReading = previous;
    return i;
}

bool ExcursionFinder::takesWhole(const OverviewCell &cell) const
{
    if (cell.records == 0 || cell.numbers + cell.hh + cell.ll != cell.records || cell.alarms != 0
        || cell.steps.largest() > gapSeconds)
        return false;
    if (cell.numbers == 0)
        return true;
    const Sides least = sidesOf(cell.minimum.value, limits);
    if (!(least == sidesOf(cell.maximum.value, limits)))
        return false;
    // What the first number of a run opens, the rest must keep open.
    return (!least.above || least.stillAbove) && (!least.below || least.stillBelow);
}

void ExcursionFinder::addWhole(const OverviewCell &cell)
{
    bool fed = false;
    const auto feed = [&](const MarkerEvent &m) {
        // No gap within the cell: the records between came close enough.
        if (fed)
            lastAny = lastReading = m.time;
        fed = true;
        if (m.kind == MarkerEvent::Back)
            return addRun(m);
        ExcursionPoint point;
        point.time = m.time;
        point.rowid = m.rowid;
        point.kind = m.kind == MarkerEvent::High ? ExcursionPoint::High : ExcursionPoint::Low;
        add(point);
    };
    if (cell.markers.empty())
        feed(cell.wholeRun());
    for (const MarkerEvent &m : cell.markers)
        feed(m);
    lastAny = lastReading = cell.last.time;
    // What the last run left open lasts to the cell's last record.
    if (open && (cell.markers.empty() || cell.markers.back().kind == MarkerEvent::Back))
        open->end = cell.last.time;
}

void ExcursionFinder::addRun(const MarkerEvent &run)
{
    // Every number of the run does what its first does: that one is fed
    // with a value of the run that goes no further than any other.
    const Sides sides = sidesOf(run.least.value, limits);
    const bool keepsAbove = open && open->kind == Excursion::AboveUpper && sides.stillAbove;
    const bool keepsBelow = !keepsAbove && open && open->kind == Excursion::BelowLower && sides.stillBelow;
    const bool towardsLow = keepsBelow || (!keepsAbove && !sides.above && sides.below);
    ExcursionPoint first;
    first.time = run.time;
    first.rowid = run.rowid;
    first.value = towardsLow ? run.greatest.value : run.least.value;
    add(first);
    if (!open || run.numbers == 1)
        return;
    open->records += run.numbers - 1;
    // Of equals the earlier counts, and the run's own extreme is its earliest.
    extend(pointOf(open->kind == Excursion::AboveUpper ? run.greatest : run.least), false);
}

void ExcursionFinder::setSink(std::function<void(const Excursion &)> excursionSink)
{
    sink = std::move(excursionSink);
}

void ExcursionFinder::keep(const Excursion &excursion)
{
    if (sink)
        sink(excursion);
    else
        found << excursion;
}

QList<Excursion> ExcursionFinder::finish()
{
    close(0, true);
    for (int a = 0; a < 8; ++a) {
        if (alarmRuns[a])
            closeAlarm(a, 0, true);
    }
    // One is open at a time and the next starts after it, so they come in
    // order of their starts; at the same start, those from the limits come first.
    const auto byStart = [](const Excursion &a, const Excursion &b) { return a.start < b.start; };
    if (alarmsFound.isEmpty())
        return found;
    std::stable_sort(alarmsFound.begin(), alarmsFound.end(), byStart);
    QList<Excursion> all;
    all.reserve(found.size() + alarmsFound.size());
    std::merge(found.cbegin(), found.cend(), alarmsFound.cbegin(), alarmsFound.cend(), std::back_inserter(all), byStart);
    return all;
}

void ExcursionFinder::close(qint64 end, bool cut)
{
    if (!open)
        return;
    open->end = cut ? open->end : end;
    open->cut = cut;
    if (open->duration() >= limits.delaySeconds)
        keep(*open);
    open.reset();
}

void ExcursionFinder::extend(const ExcursionPoint &point, bool counted)
{
    if (counted) {
        ++open->records;
        open->end = point.time;
    }
    const bool further = open->kind == Excursion::AboveUpper ? point.value > open->extreme : point.value < open->extreme;
    if (point.kind == ExcursionPoint::Number && open->records > 1 && further) {
        open->extreme = point.value;
        open->extremeTime = point.time;
    }
}

// The runs of each alarm, over every record (one without a reading records its alarms too).
void ExcursionFinder::addAlarms(const ExcursionPoint &point)
{
    if (point.alarms == 0 && runningAlarms == 0)
        return;
    const bool gap = lastAny && point.time - *lastAny > gapSeconds;
    for (int a = 0; a < 8; ++a) {
        const bool on = point.alarms >> a & 1;
        if (alarmRuns[a] && (gap || !on))
            closeAlarm(a, point.time, gap);
        if (alarmRuns[a]) {
            ++alarmRuns[a]->records;
            alarmRuns[a]->end = point.time;
        } else if (on) {
            alarmRuns[a] = Excursion{Excursion::Alarm, false, a + 1, point.time, point.time, 0, 0, 1, point.rowid, qQNaN()};
            runningAlarms |= quint8(1u << a);
        }
    }
}

void ExcursionFinder::closeAlarm(int a, qint64 end, bool cut)
{
    alarmRuns[a]->end = cut ? alarmRuns[a]->end : end;
    alarmRuns[a]->cut = cut;
    alarmsFound << *alarmRuns[a];
    alarmRuns[a].reset();
    runningAlarms &= quint8(~(1u << a));
}

bool Excursion::operator==(const Excursion &other) const
{
    const bool sameExtreme = kind == Gap || kind == High || kind == Low
        || (extreme == other.extreme && extremeTime == other.extremeTime);
    return kind == other.kind && start == other.start && end == other.end && sameExtreme && records == other.records
        && firstRowid == other.firstRowid && cut == other.cut && alarm == other.alarm;
}

QList<Excursion> findExcursions(const QList<ExcursionPoint> &points, const ChannelLimits &limits, qint64 gapSeconds)
{
    ExcursionFinder finder(limits, gapSeconds);
    for (const ExcursionPoint &point : points)
        finder.add(point);
    return finder.finish();
}

ExcursionTotals excursionTotals(const ExcursionList &excursions, qint64 windowSeconds)
{
    ExcursionTotals totals;
    qint64 outsideSeconds = 0;
    for (const Excursion &excursion : excursions) {
        ++totals.counts[excursion.kind];
        totals.seconds[excursion.kind] += excursion.duration();
        if (excursion.kind != Excursion::Alarm) // the instrument's alarms overlap the rest
            outsideSeconds += excursion.duration();
    }
    totals.withinShare = windowSeconds > 0 ? qMax(0.0, 1.0 - double(outsideSeconds) / double(windowSeconds)) : 0;
    return totals;
}

QList<Excursion> excursionShades(const ExcursionList &excursions, qint64 from, qint64 to, qint64 resolution)
{
    QList<Excursion> shades;
    std::optional<Excursion> open[Excursion::KindCount + 8]; // by kind, an alarm by its number
    const auto slotOf = [](const Excursion &e) { return e.kind == Excursion::Alarm ? Excursion::Alarm + qBound(0, e.alarm - 1, 7) : int(e.kind); };
    for (const Excursion &e : excursions) {
        if (e.end < from || e.start > to)
            continue;
        std::optional<Excursion> &shade = open[slotOf(e)];
        // The clock set back starts a shade of its own.
        if (shade && e.start >= shade->start && e.start - shade->end < resolution) {
            shade->end = qMax(shade->end, e.end);
            continue;
        }
        if (shade)
            shades << *shade;
        shade = e;
    }
    for (const std::optional<Excursion> &shade : open) {
        if (shade)
            shades << *shade;
    }
    std::stable_sort(shades.begin(), shades.end(), [](const Excursion &a, const Excursion &b) { return a.start < b.start; });
    return shades;
}

qint64 loggingInterval(const QList<ExcursionPoint> &points)
{
    std::vector<qint64> steps;
    steps.reserve(size_t(qMax<qsizetype>(0, points.size() - 1)));
    for (qsizetype i = 1; i < points.size(); ++i)
        steps.push_back(points.at(i).time - points.at(i - 1).time);
    if (steps.empty())
        return 0;
    std::nth_element(steps.begin(), steps.begin() + qsizetype(steps.size() / 2), steps.end());
    return steps.at(steps.size() / 2);
}

qint64 gapSecondsOf(qint64 loggingInterval)
{
    return GapIntervals * qMax<qint64>(1, loggingInterval);
}

qint64 gapSecondsOf(const QList<ExcursionPoint> &points)
{
    return gapSecondsOf(loggingInterval(points));
}
