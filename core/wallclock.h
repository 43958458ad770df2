#ifndef WALLCLOCK_H
#define WALLCLOCK_H

#include <QDateTime>
#include <QString>

// Record stamps are wall-clock readings that the instrument wrote, in no
// zone: the skipped hour of spring and the repeated hour of autumn occur in
// them like any other. Everything that computes with them (the overview, the
// sums, the additions) does so in naive seconds (the reading counted as if
// it were UTC) and in stamp texts, which are defined for every reading. Only
// this module turns them into local times, for what a widget shows.

// The stamp text "YYYY-MM-DD HH:MM:SS" as naive seconds; false for another text.
bool naiveSeconds(const char *text, qsizetype size, qint64 *seconds);
// The fields of a date-time (local or not) as naive seconds.
qint64 naiveSeconds(const QDateTime &time);
// a / b rounded down (b > 0): the minute, hour or day naive seconds before 1970 lie in.
qint64 floorDiv(qint64 a, qint64 b);
// Naive seconds as the stamp text the statements bind.
QString stampText(qint64 naive);
// Naive seconds as a wall-clock reading: a UTC QDateTime, valid for every reading.
QDateTime wallClockOf(qint64 naive);

// Where a wall-clock reading stands on a local time axis, in seconds since
// the epoch. A reading inside a spring-forward gap stands at the gap's end,
// so records keep their order.
qint64 localTimeKey(const QDateTime &wallClock);
qint64 localTimeKey(qint64 naive);
// The wall-clock reading of a place on the local time axis, as naive seconds.
qint64 naiveSecondsOfKey(qint64 key);
// A wall-clock reading as a local date-time for a widget; inside a
// spring-forward gap, the gap's end. Invalid only where the reading is.
QDateTime localTime(const QDateTime &wallClock);

#endif
