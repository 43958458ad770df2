#include "overviewcells.h"

#include "meankinetic.h"
#include "recordnumber.h"

#include <cmath>

void OverviewCell::add(const OverviewPoint &point, Kind kind)
{
    if (records == 0 || point.before(first))
        first = point;
    if (records == 0 || last.before(point))
        last = point;
    ++records;
    switch (kind) {
    case Kind::High: ++hh; return;
    case Kind::Low: ++ll; return;
    case Kind::Unreadable: return;
    case Kind::Number: break;
    }
    const double value = point.value;
    if (numbers == 0 || value < minimum.value || (value == minimum.value && point.before(minimum)))
        minimum = point;
    if (numbers == 0 || value > maximum.value || (value == maximum.value && point.before(maximum)))
        maximum = point;
    if (numbers == 0 || point.before(firstNumber))
        firstNumber = point;
    if (numbers == 0 || lastNumber.before(point))
        lastNumber = point;
    ++numbers;
    sum += value;
    kinetic += kineticTerm(value);
}

void OverviewCell::merge(const OverviewCell &other)
{
    if (other.records == 0)
        return;
    if (records == 0) {
        *this = other;
        return;
    }
    if (other.first.before(first))
        first = other.first;
    if (last.before(other.last))
        last = other.last;
    if (other.numbers > 0) {
        const OverviewPoint &low = other.minimum, &high = other.maximum;
        if (numbers == 0 || low.value < minimum.value || (low.value == minimum.value && low.before(minimum)))
            minimum = low;
        if (numbers == 0 || high.value > maximum.value || (high.value == maximum.value && high.before(maximum)))
            maximum = high;
        if (numbers == 0 || other.firstNumber.before(firstNumber))
            firstNumber = other.firstNumber;
        if (numbers == 0 || lastNumber.before(other.lastNumber))
            lastNumber = other.lastNumber;
    }
    records += other.records;
    numbers += other.numbers;
    hh += other.hh;
    ll += other.ll;
    sum += other.sum;
    kinetic += other.kinetic;
    alarms |= other.alarms;
    steps.add(other.steps);
}

void OverviewCell::append(const OverviewCell &later)
{
    if (later.records == 0)
        return;
    if (records > 0) {
        steps.add(later.first.time - last.time);
        const bool endsMarked = !markers.empty() && markers.back().kind != MarkerEvent::Back
            && markers.back().time == last.time && markers.back().rowid == last.rowid;
        if (endsMarked && !std::isnan(later.first.value))
            markers.push_back({later.first.time, later.first.rowid, MarkerEvent::Back});
        markers.insert(markers.end(), later.markers.begin(), later.markers.end());
    }
    merge(later);
}

QByteArray OverviewCell::packedMarkers(qint64 spanStart) const
{
    QByteArray out;
    for (const MarkerEvent &m : markers) {
        out += char(m.kind);
        putPackedNumber(out, quint64(m.time - spanStart));
        const qint64 rowidStep = m.rowid - first.rowid;
        putPackedNumber(out, rowidStep >= 0 ? quint64(rowidStep) << 1 : (quint64(-rowidStep) << 1) | 1);
    }
    return out;
}

void OverviewCell::unpackMarkers(const char *data, int size, qint64 spanStart)
{
    markers.clear();
    const char *at = data, *end = data + size;
    quint64 time = 0, rowidStep = 0;
    while (at < end) {
        const auto kind = MarkerEvent::Kind(quint8(*at++));
        if (kind > MarkerEvent::Back || !takePackedNumber(at, end, &time) || !takePackedNumber(at, end, &rowidStep))
            return;
        const qint64 step = qint64(rowidStep >> 1);
        markers.push_back({spanStart + qint64(time), first.rowid + (rowidStep & 1 ? -step : step), kind});
    }
}

namespace {

// Sums of the same numbers added in another order.
bool sameSum(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b)) || std::abs(a - b) <= 1e-12 * qMax(std::abs(a), std::abs(b));
}

bool samePoint(const OverviewPoint &a, const OverviewPoint &b)
{
    return a.time == b.time && a.rowid == b.rowid && (a.value == b.value || (std::isnan(a.value) && std::isnan(b.value)));
}

} // namespace

bool OverviewCell::operator==(const OverviewCell &other) const
{
    const bool sameExtremes = numbers == 0
        || (samePoint(minimum, other.minimum) && samePoint(maximum, other.maximum));
    return records == other.records && numbers == other.numbers && hh == other.hh && ll == other.ll
        && (records == 0 || (samePoint(first, other.first) && samePoint(last, other.last))) && sameExtremes
        && sameSum(sum, other.sum) && sameSum(kinetic, other.kinetic) && alarms == other.alarms && steps == other.steps
        && markers == other.markers && (numbers == 0 || (sameSum(firstNumber.value, other.firstNumber.value)
                             && sameSum(lastNumber.value, other.lastNumber.value)));
}

OverviewCell::Kind overviewKind(const char *text, int size, double *number)
{
    if (!text)
        return OverviewCell::Kind::Unreadable;
    if (size == 2 && text[1] == text[0] && (text[0] == 'H' || text[0] == 'L'))
        return text[0] == 'H' ? OverviewCell::Kind::High : OverviewCell::Kind::Low;
    const bool read = readRecordNumber(text, size, number);
    return read ? OverviewCell::Kind::Number : OverviewCell::Kind::Unreadable;
}

OverviewPlan planOverview(qint64 from, qint64 to, int width)
{
    OverviewPlan plan;
    plan.from = from;
    plan.to = qMax(from, to);
    const qint64 span = plan.to - plan.from + 1;
    const qint64 wanted = (span + qMax(1, width) - 1) / qMax(1, width); // seconds a column at least
    plan.level = -1;
    plan.columnSeconds = qMax<qint64>(1, wanted);
    for (int level = int(std::size(OverviewLevels)) - 1; level >= 0; --level) {
        const qint64 spanSeconds = OverviewLevels[level];
        if (wanted >= spanSeconds) {
            plan.level = level;
            plan.columnSeconds = (wanted + spanSeconds - 1) / spanSeconds * spanSeconds;
            break;
        }
    }
    // Columns start at multiples of their length, so that the kept spans fill them whole.
    const qint64 c = plan.columnSeconds;
    plan.origin = (plan.from >= 0 ? plan.from / c : (plan.from - c + 1) / c) * c;
    plan.columns = plan.columnOf(plan.to) + 1;
    return plan;
}
