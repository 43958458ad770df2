#include "timepresets.h"

#include "recordtime.h"

#include <QCoreApplication>

namespace {

// Calendar days [first, last]: from the first's midnight to the last's last minute.
MinuteWindow days(const QDate &first, const QDate &last)
{
    return {first.startOfDay(), QDateTime(last, QTime(23, 59))};
}

} // namespace

MinuteWindow presetWindow(TimePreset preset, const QDateTime &now)
{
    const QDate today = now.toLocalTime().date();
    const QDate month(today.year(), today.month(), 1);
    switch (preset) {
    case TimePreset::Today:
        return days(today, today);
    case TimePreset::Yesterday:
        return days(today.addDays(-1), today.addDays(-1));
    case TimePreset::Last24Hours: {
        // To holds its minute's 60 seconds: 24 hours in all.
        const QDateTime to = minuteStart(now.toLocalTime());
        return {to.addSecs(-24 * 3600 + 60), to};
    }
    case TimePreset::Last7Days:
        return days(today.addDays(-6), today);
    case TimePreset::ThisMonth:
        return days(month, month.addMonths(1).addDays(-1));
    case TimePreset::LastMonth:
        return days(month.addMonths(-1), month.addDays(-1));
    }
    return {};
}

QList<TimePreset> timePresets()
{
    return {TimePreset::Today,     TimePreset::Yesterday, TimePreset::Last24Hours,
            TimePreset::Last7Days, TimePreset::ThisMonth, TimePreset::LastMonth};
}

QString presetName(TimePreset preset)
{
    switch (preset) {
    case TimePreset::Today:
        return QCoreApplication::translate("TimePresets", "Today");
    case TimePreset::Yesterday:
        return QCoreApplication::translate("TimePresets", "Yesterday");
    case TimePreset::Last24Hours:
        return QCoreApplication::translate("TimePresets", "Last 24 hours");
    case TimePreset::Last7Days:
        return QCoreApplication::translate("TimePresets", "Last 7 days");
    case TimePreset::ThisMonth:
        return QCoreApplication::translate("TimePresets", "This month");
    case TimePreset::LastMonth:
        return QCoreApplication::translate("TimePresets", "Last month");
    }
    return QString();
}
