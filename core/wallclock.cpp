#include "wallclock.h"

namespace {

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

bool naiveSeconds(const char *text, qsizetype size, qint64 *seconds)
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

QDateTime wallClockOf(qint64 naive)
{
    return QDateTime::fromSecsSinceEpoch(naive, Qt::UTC);
}

QString stampText(qint64 naive)
{
    return wallClockOf(naive).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

qint64 localTimeKey(const QDateTime &wallClock)
{
    const QDateTime local(wallClock.date(), wallClock.time());
    if (local.isValid())
        return local.toSecsSinceEpoch();
    // Inside a gap: the first whole minute after it (gaps end on a minute).
    QDateTime later = wallClock;
    for (int minutes = 0; minutes < 24 * 60; ++minutes) {
        later = later.addSecs(60);
        const QDateTime candidate(later.date(), QTime(later.time().hour(), later.time().minute()));
        if (candidate.isValid())
            return candidate.toSecsSinceEpoch();
    }
    return wallClock.toSecsSinceEpoch();
}

qint64 localTimeKey(qint64 naive)
{
    return localTimeKey(wallClockOf(naive));
}

qint64 naiveSecondsOfKey(qint64 key)
{
    return naiveSeconds(QDateTime::fromSecsSinceEpoch(key));
}

QDateTime localTime(const QDateTime &wallClock)
{
    if (!wallClock.isValid())
        return QDateTime();
    const QDateTime local(wallClock.date(), wallClock.time());
    return local.isValid() ? local : QDateTime::fromSecsSinceEpoch(localTimeKey(wallClock));
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}
