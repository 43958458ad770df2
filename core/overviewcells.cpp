#include "overviewcells.h"

#include "meankinetic.h"
#include "recordnumber.h"

#include <cmath>
#include <cstring>
#include <iterator>

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

MarkerEvent OverviewCell::wholeRun() const
{
    MarkerEvent run = MarkerEvent::runFrom(firstNumber);
    run.numbers = numbers;
    run.least = minimum;
    run.greatest = maximum;
    return run;
}

void OverviewCell::append(const OverviewCell &later)
{
    if (later.records == 0)
        return;
    if (records > 0) {
        steps.add(later.first.time - last.time);
        if (!markers.empty() || !later.markers.empty()) {
            if (markers.empty() && numbers > 0)
                markers = {wholeRun()};
            std::vector<MarkerEvent> next = later.markers;
            if (next.empty() && later.numbers > 0)
                next = {later.wholeRun()};
            auto from = next.begin();
            // A run of numbers that goes on across the cells' edge is one run.
            if (!markers.empty() && markers.back().kind == MarkerEvent::Back && from != next.end()
                && from->kind == MarkerEvent::Back)
                markers.back().extendRun(*from++);
            markers.insert(markers.end(), from, next.end());
        }
    }
    merge(later);
}

void OverviewCell::addMarkerEvent(const OverviewPoint &point, Kind kind)
{
    switch (kind) {
    case Kind::High:
    case Kind::Low:
        markers.push_back({point.time, point.rowid, kind == Kind::High ? MarkerEvent::High : MarkerEvent::Low, 0, {}, {}});
        return;
    case Kind::Unreadable: return; // no reading: it neither ends a run nor starts one
    case Kind::Number: break;
    }
    if (markers.empty() || markers.back().kind != MarkerEvent::Back)
        markers.push_back(MarkerEvent::runFrom(point));
    else
        markers.back().extendRun(point);
}

MarkerEvent MarkerEvent::runFrom(const OverviewPoint &first)
{
    return {first.time, first.rowid, Back, 1, first, first};
}

void MarkerEvent::extendRun(const OverviewPoint &number)
{
    ++numbers;
    if (number.value < least.value)
        least = number;
    if (number.value > greatest.value)
        greatest = number;
}

void MarkerEvent::extendRun(const MarkerEvent &later)
{
    numbers += later.numbers;
    if (later.least.value < least.value)
        least = later.least;
    if (later.greatest.value > greatest.value)
        greatest = later.greatest;
}

namespace {

quint64 zigzag(qint64 value)
{
    return value >= 0 ? quint64(value) << 1 : (quint64(-value) << 1) | 1;
}

qint64 unzigzag(quint64 value)
{
    const qint64 half = qint64(value >> 1);
    return value & 1 ? -half : half;
}

constexpr double Scales[] = {1, 10, 100, 1000, 10000};
constexpr char RawValue = char(0x7f);

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A number as the digits it was most likely written with (a scale, then the
// scaled integer), where they give back exactly the same double; else its
// eight bytes.
void putPackedValue(QByteArray &out, double value)
{
    for (int k = 0; k < int(std::size(Scales)); ++k) {
        const double scaled = value * Scales[k];
        if (!(std::abs(scaled) < 9007199254740992.0)) // 2^53, and no NaN
            break;
        const qint64 digits = std::llround(scaled);
        if (sameBits(double(digits) / Scales[k], value)) {
            out += char(k);
            putPackedNumber(out, zigzag(digits));
            return;
        }
    }
    out += RawValue;
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

bool takePackedValue(const char *&at, const char *end, double *value)
{
    if (at >= end)
        return false;
    const char scale = *at++;
    if (scale == RawValue) {
        if (end - at < qsizetype(sizeof *value))
            return false;
        std::memcpy(value, at, sizeof *value);
        at += sizeof *value;
        return true;
    }
    quint64 digits = 0;
    if (scale < 0 || scale >= char(std::size(Scales)) || !takePackedNumber(at, end, &digits))
        return false;
    *value = double(unzigzag(digits)) / Scales[int(scale)];
    return true;
}

} // namespace

QByteArray OverviewCell::packedMarkers(qint64 spanStart) const
{
    QByteArray out;
    const auto putPlace = [&](const OverviewPoint &point) {
        putPackedNumber(out, quint64(point.time - spanStart));
        putPackedNumber(out, zigzag(point.rowid - first.rowid));
    };
    for (const MarkerEvent &m : markers) {
        out += char(m.kind);
        putPlace({m.time, m.rowid});
        if (m.kind != MarkerEvent::Back)
            continue;
        putPackedNumber(out, quint64(m.numbers));
        for (const OverviewPoint &p : {m.least, m.greatest}) {
            putPlace(p);
            putPackedValue(out, p.value);
        }
    }
    return out;
}

void OverviewCell::unpackMarkers(const char *data, int size, qint64 spanStart)
{
    markers.clear();
    const char *at = data, *end = data + size;
    const auto takePlace = [&](OverviewPoint *point) {
        quint64 time = 0, rowidStep = 0;
        if (!takePackedNumber(at, end, &time) || !takePackedNumber(at, end, &rowidStep))
            return false;
        point->time = spanStart + qint64(time);
        point->rowid = first.rowid + unzigzag(rowidStep);
        return true;
    };
    while (at < end) {
        const auto kind = MarkerEvent::Kind(quint8(*at++));
        OverviewPoint place;
        if (kind > MarkerEvent::Back || !takePlace(&place))
            return;
        MarkerEvent m{place.time, place.rowid, kind, 0, {}, {}};
        quint64 numbers = 0;
        if (kind == MarkerEvent::Back
            && (!takePackedNumber(at, end, &numbers) || !takePlace(&m.least) || !takePackedValue(at, end, &m.least.value)
                || !takePlace(&m.greatest) || !takePackedValue(at, end, &m.greatest.value)))
            return;
        m.numbers = qint64(numbers);
        markers.push_back(m);
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

bool MarkerEvent::operator==(const MarkerEvent &o) const
{
    return time == o.time && rowid == o.rowid && kind == o.kind && numbers == o.numbers
        && (kind != Back || (samePoint(least, o.least) && samePoint(greatest, o.greatest)));
}

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
