#include "recordtime.h"

#include <QFile>

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

} // namespace

QDateTime parseRecordTime(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].isSpace())
        --end;
    if (end != 19)
        return QDateTime();
    const QStringView t = text.left(end);
    if (t[4] != QLatin1Char('-') || t[7] != QLatin1Char('-') || t[10] != QLatin1Char(' ')
        || t[13] != QLatin1Char(':') || t[16] != QLatin1Char(':'))
        return QDateTime();
    int year, month, day, hour, minute, second;
    if (!readDigits(t, 0, 4, year) || !readDigits(t, 5, 2, month) || !readDigits(t, 8, 2, day)
        || !readDigits(t, 11, 2, hour) || !readDigits(t, 14, 2, minute) || !readDigits(t, 17, 2, second))
        return QDateTime();
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time);
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
