#include "recordtime.h"

#include "wallclock.h"

#include <QFile>
#include <cmath>

namespace {

bool readDigits(QStringView text, int pos, int count, int &value)
{
    value = 0;
    for (int i = pos; i < pos + count; ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    return true;
}

bool readCommonLayout(QStringView t, QDate &date, QTime &time)
{
    if (t.size() != 19 || t[4] != QLatin1Char('-') || t[7] != QLatin1Char('-') || t[10] != QLatin1Char(' ')
        || t[13] != QLatin1Char(':') || t[16] != QLatin1Char(':'))
        return false;
    int year, month, day, hour, minute, second;
    if (!readDigits(t, 0, 4, year) || !readDigits(t, 5, 2, month) || !readDigits(t, 8, 2, day)
        || !readDigits(t, 11, 2, hour) || !readDigits(t, 14, 2, minute) || !readDigits(t, 17, 2, second))
        return false;
    date = QDate(year, month, day);
    time = QTime(hour, minute, second);
    return true;
}

bool readJulianDay(QStringView t, QDate &date, QTime &time)
{
    bool ok = false;
    const double day = t.toString().toDouble(&ok);
    if (!ok || !std::isfinite(day) || day < 0 || day > 5373484.0)
        return false;
    const double shifted = day + 0.5; // Julian days begin at noon
    const double whole = std::floor(shifted);
    date = QDate::fromJulianDay(qint64(whole));
    time = QTime(0, 0).addMSecs(int(std::llround((shifted - whole) * 86400.0) * 1000 % 86400000));
    return true;
}

// The date and time of day a stamp names.
bool readStamp(QStringView text, QDate &date, QTime &time)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].isSpace())
        --end;
    const QStringView t = text.left(end);
    if (!readCommonLayout(t, date, time)) {
        const bool dated = t.size() >= 10 && t[4] == QLatin1Char('-') && t[7] == QLatin1Char('-');
        if (dated && t.size() == 10) {
            date = QDate::fromString(t.toString(), Qt::ISODate);
            time = QTime(0, 0);
        } else if (dated && t.size() >= 16 && (t[10] == QLatin1Char(' ') || t[10] == QLatin1Char('T'))) {
            date = QDate::fromString(t.left(10).toString(), Qt::ISODate);
            QStringView clock = t.mid(11);
            if (clock.endsWith(QLatin1Char('Z')))
                clock = clock.chopped(1).trimmed(); // SQLite passes blanks before the Z
            time = QTime::fromString(clock.toString(), Qt::ISODate);
        } else if (!readJulianDay(t, date, time)) {
            return false;
        }
    }
    return date.isValid() && time.isValid();
}

} // namespace

QDateTime recordWallClock(QStringView text)
{
    QDate date;
    QTime time;
    return readStamp(text, date, time) ? QDateTime(date, time, Qt::UTC) : QDateTime();
}

bool isReadableStamp(QByteArrayView text)
{
    // Nearly every stamp has the common layout: read without a QString.
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || (text[end - 1] >= '\t' && text[end - 1] <= '\r')))
        --end;
    if (end == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' && text[13] == ':' && text[16] == ':') {
        int v[6] = {};
        const int at[6] = {0, 5, 8, 11, 14, 17}, digits[6] = {4, 2, 2, 2, 2, 2};
        bool numeric = true;
        for (int f = 0; f < 6; ++f) {
            for (int i = at[f]; i < at[f] + digits[f]; ++i) {
                numeric = numeric && text[i] >= '0' && text[i] <= '9';
                v[f] = v[f] * 10 + (text[i] - '0');
            }
        }
        if (numeric)
            return QDate::isValid(v[0], v[1], v[2]) && QTime::isValid(v[3], v[4], v[5]);
    }
    const QDateTime time = recordWallClock(QString::fromUtf8(text));
    return time.isValid() && time.date().year() >= 0 && time.date().year() <= 9999;
}

QDateTime parseRecordTime(QStringView text)
{
    return localTime(recordWallClock(text));
}

QDateTime minuteStart(const QDateTime &time)
{
    return QDateTime(time.date(), QTime(time.time().hour(), time.time().minute(), 0), time.timeSpec());
}

QDateTime minuteEnd(const QDateTime &time)
{
    return QDateTime(time.date(), QTime(time.time().hour(), time.time().minute(), 59), time.timeSpec());
}

QString recordTimeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

void keepLocalZoneLoaded()
{
#ifdef Q_OS_LINUX
    if (!qEnvironmentVariableIsSet("TZ") && QFile::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
#endif
}
