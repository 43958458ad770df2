#ifndef TIMEPRESETS_H
#define TIMEPRESETS_H

#include <QDateTime>
#include <QStringList>

// Time windows the user picks by name, on the local calendar.
enum class TimePreset { Today, Yesterday, Last24Hours, Last7Days, ThisMonth, LastMonth };

// A window as the From and To fields hold it: its first and its last minute.
struct MinuteWindow {
    QDateTime from, to;
};

// The window of `preset` as of `now` (local time): calendar days and months
// from midnight to their last minute; the last 24 hours up to now's minute.
MinuteWindow presetWindow(TimePreset preset, const QDateTime &now);

// The presets in the order offered, and each one's name.
QList<TimePreset> timePresets();
QString presetName(TimePreset preset);

#endif
