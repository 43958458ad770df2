#include "overviewcells.h"

#include "summaryblocks.h"

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
    ++numbers;
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
    }
    records += other.records;
    numbers += other.numbers;
    hh += other.hh;
    ll += other.ll;
}

namespace {

bool samePoint(const OverviewPoint &a, const OverviewPoint &b)
{
    return a.time == b.time && a.rowid == b.rowid && (a.value == b.value || (std::isnan(a.value) && std::isnan(b.value)));
}

qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

} // namespace

bool OverviewCell::operator==(const OverviewCell &other) const
{
    const bool sameExtremes = numbers == 0
        || (samePoint(minimum, other.minimum) && samePoint(maximum, other.maximum));
    return records == other.records && numbers == other.numbers && hh == other.hh && ll == other.ll
        && (records == 0 || (samePoint(first, other.first) && samePoint(last, other.last))) && sameExtremes;
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

bool naiveSeconds(const char *text, int size, qint64 *seconds)
{
    // "YYYY-MM-DD HH:MM:SS", as datetime() gives every readable stamp.
    if (!text || size != 19)
        return false;
    int digits[14];
    int n = 0;
    for (int i = 0; i < 19; ++i) {
        if (i == 4 || i == 7 || i == 10 || i == 13 || i == 16)
            continue;
        if (text[i] < '0' || text[i] > '9')
            return false;
        digits[n++] = text[i] - '0';
    }
    const auto number = [&](int at, int count) {
        int value = 0;
        for (int i = 0; i < count; ++i)
            value = value * 10 + digits[at + i];
        return value;
    };
    *seconds = daysFromCivil(number(0, 4), unsigned(number(4, 2)), unsigned(number(6, 2))) * 86400
        + number(8, 2) * 3600 + number(10, 2) * 60 + number(12, 2);
    return true;
}

qint64 naiveSeconds(const QDateTime &time)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    return daysFromCivil(date.year(), unsigned(date.month()), unsigned(date.day())) * 86400
        + clock.msecsSinceStartOfDay() / 1000;
}

QDateTime fromNaiveSeconds(qint64 seconds)
{
    const QDateTime utc = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    return QDateTime(utc.date(), utc.time());
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
