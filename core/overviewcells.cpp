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
constexpr quint64 RawValue = 7; // in the low three bits: the double's eight bytes follow

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A number as the digits it was most likely written with (the scaled
// integer, then the scale in the low three bits), where they give back
// exactly the same double; else its eight bytes.
void putPackedValue(QByteArray &out, double value)
{
    for (int k = 0; k < int(std::size(Scales)); ++k) {
        const double scaled = value * Scales[k];
        if (!(std::abs(scaled) < 9007199254740992.0)) // 2^53, and no NaN
            break;
        const qint64 digits = std::llround(scaled);
        if (sameBits(double(digits) / Scales[k], value))
            return putPackedNumber(out, zigzag(digits) << 3 | quint64(k));
    }
    putPackedNumber(out, RawValue);
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

bool takePackedValue(const char *&at, const char *end, double *value)
{
    quint64 packed = 0;
    if (!takePackedNumber(at, end, &packed))
        return false;
    const quint64 scale = packed & 7;
    if (scale == RawValue) {
        if (end - at < qsizetype(sizeof *value))
            return false;
        std::memcpy(value, at, sizeof *value);
        at += sizeof *value;
        return true;
    }
    if (scale >= std::size(Scales))
        return false;
    *value = double(unzigzag(packed >> 3)) / Scales[scale];
    return true;
}

} // namespace

QByteArray OverviewCell::packedMarkers(qint64 spanStart) const
{
    QByteArray out;
    // Each from the one before, which is mostly a byte or two away.
    qint64 time = spanStart, rowid = first.rowid;
    for (const MarkerEvent &m : markers) {
        putPackedNumber(out, quint64(m.time - time) << 2 | m.kind);
        putPackedNumber(out, zigzag(m.rowid - rowid));
        time = m.time;
        rowid = m.rowid;
        if (m.kind != MarkerEvent::Back)
            continue;
        putPackedNumber(out, quint64(m.numbers));
        for (const OverviewPoint &p : {m.least, m.greatest}) {
            putPackedNumber(out, quint64(p.time - m.time));
            putPackedValue(out, p.value);
        }
    }
    return out;
}

void OverviewCell::unpackMarkers(const char *data, int size, qint64 spanStart)
{
    markers.clear();
    markers.reserve(size_t(2 * (hh + ll) + 1)); // a run between each two markers at most
    const char *at = data, *end = data + size;
    qint64 time = spanStart, rowid = first.rowid;
    while (at < end) {
        quint64 placed = 0, rowidStep = 0;
        if (!takePackedNumber(at, end, &placed) || !takePackedNumber(at, end, &rowidStep))
            return;
        const auto kind = MarkerEvent::Kind(placed & 3);
        time += qint64(placed >> 2);
        rowid += unzigzag(rowidStep);
        MarkerEvent m{time, rowid, kind, 0, {}, {}};
        if (kind > MarkerEvent::Back)
            return;
        if (kind == MarkerEvent::Back) {
            quint64 numbers = 0;
            if (!takePackedNumber(at, end, &numbers))
                return;
            m.numbers = qint64(numbers);
            for (OverviewPoint *p : {&m.least, &m.greatest}) {
                quint64 after = 0;
                if (!takePackedNumber(at, end, &after) || !takePackedValue(at, end, &p->value))
                    return;
                p->time = m.time + qint64(after);
                p->rowid = m.rowid;
            }
        }
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
    const auto sameExtreme = [](const OverviewPoint &a, const OverviewPoint &b) {
        return a.time == b.time && a.value == b.value;
    };
    return time == o.time && rowid == o.rowid && kind == o.kind && numbers == o.numbers
        && (kind != Back || (sameExtreme(least, o.least) && sameExtreme(greatest, o.greatest)));
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
