#include "excursions.h"

#include <algorithm>
#include <optional>

WindowExcursions g_excursions;

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

class Finder
{
public:
    Finder(const ChannelLimits &limits) : limits(limits) {}

    void add(const ExcursionPoint &point, const ExcursionPoint *previous, qint64 gapSeconds)
    {
        if (previous && point.time - previous->time > gapSeconds) {
            close(previous->time, true);
            found << Excursion{Excursion::Gap, previous->time, point.time, 0, 0, 0, point.rowid, false};
        }
        if (open && stillOutside(point, limits, open->kind)) {
            extend(point);
            return;
        }
        if (open)
            close(point.time, false);
        for (const Excursion::Kind kind : {Excursion::AboveUpper, Excursion::BelowLower, Excursion::High, Excursion::Low}) {
            if (outside(point, limits, kind)) {
                open = Excursion{kind, point.time, point.time, point.value, point.time, 0, point.rowid, false};
                extend(point);
                break;
            }
        }
    }

    void close(qint64 end, bool cut)
    {
        if (!open)
            return;
        open->end = cut ? open->end : end;
        open->cut = cut;
        if (open->duration() >= limits.delaySeconds)
            found << *open;
        open.reset();
    }

    QList<Excursion> found;
    std::optional<Excursion> open;

private:
    void extend(const ExcursionPoint &point)
    {
        ++open->records;
        open->end = point.time;
        const bool further = open->kind == Excursion::AboveUpper ? point.value > open->extreme
                                                                 : point.value < open->extreme;
        if (point.kind == ExcursionPoint::Number && open->records > 1 && further) {
            open->extreme = point.value;
            open->extremeTime = point.time;
        }
    }

    const ChannelLimits &limits;
};

// The runs of each alarm, over every record (one without a reading records its alarms too).
void addAlarmRuns(const QList<ExcursionPoint> &points, qint64 gapSeconds, QList<Excursion> &found)
{
    std::optional<Excursion> open[8];
    const auto close = [&](int a, qint64 end, bool cut) {
        open[a]->end = cut ? open[a]->end : end;
        open[a]->cut = cut;
        found << *open[a];
        open[a].reset();
    };
    const ExcursionPoint *previous = nullptr;
    for (const ExcursionPoint &point : points) {
        const bool gap = previous && point.time - previous->time > gapSeconds;
        for (int a = 0; a < 8; ++a) {
            const bool on = point.alarms >> a & 1;
            if (open[a] && (gap || !on))
                close(a, point.time, gap);
            if (open[a]) {
                ++open[a]->records;
                open[a]->end = point.time;
            } else if (on) {
                open[a] = Excursion{Excursion::Alarm, point.time, point.time, 0, 0, 1, point.rowid, false, a + 1, qQNaN()};
            }
        }
        previous = &point;
    }
    for (int a = 0; a < 8; ++a) {
        if (open[a])
            close(a, 0, true);
    }
}

} // namespace

bool Excursion::operator==(const Excursion &other) const
{
    const bool sameExtreme = kind == Gap || kind == High || kind == Low
        || (extreme == other.extreme && extremeTime == other.extremeTime);
    return kind == other.kind && start == other.start && end == other.end && sameExtreme && records == other.records
        && firstRowid == other.firstRowid && cut == other.cut && alarm == other.alarm;
}

QList<Excursion> findExcursions(const QList<ExcursionPoint> &points, const ChannelLimits &limits, qint64 gapSeconds)
{
    Finder finder(limits);
    const ExcursionPoint *previous = nullptr;
    for (const ExcursionPoint &point : points) {
        if (point.kind == ExcursionPoint::Unreadable)
            continue;
        finder.add(point, previous, gapSeconds);
        previous = &point;
    }
    finder.close(0, true);
    addAlarmRuns(points, gapSeconds, finder.found);
    std::stable_sort(finder.found.begin(), finder.found.end(),
                     [](const Excursion &a, const Excursion &b) { return a.start < b.start; });
    return finder.found;
}

ExcursionTotals excursionTotals(const QList<Excursion> &excursions, qint64 windowSeconds)
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

qint64 gapSecondsOf(const QList<ExcursionPoint> &points)
{
    return GapIntervals * qMax<qint64>(1, loggingInterval(points));
}
