#ifndef RECORDTIME_H
#define RECORDTIME_H

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

// A stored record time as written, as a wall-clock reading: the fields of a
// QDateTime in UTC, so that it is valid even where the local zone skips that
// hour. Trailing white space (the record line's end that `indate` keeps) is
// ignored. The common "yyyy-MM-dd hh:mm:ss" is read by hand, some twenty
// times faster than Qt's parser on a chart page; every other stamp SQLite's
// date functions accept is read generally: the date from the first ten
// characters, the time of day from the twelfth on ("T" or blank between,
// seconds optional), a date alone (midnight), or a Julian day number. Anything else gives an invalid
// QDateTime.
QDateTime recordWallClock(QStringView text);

// Whether a time window can hold the stamp: SQLite's datetime() reads it as
// a time of the years 0 to 9999.
bool isReadableStamp(QByteArrayView text);

// The same stamp as a local date-time for a widget; invalid where
// recordWallClock() is; inside a spring-forward gap, the gap's end.
QDateTime parseRecordTime(QStringView text);

// A window typed to the minute means whole minutes: from second 0 of its
// first minute to second 59 of its last.
QDateTime minuteStart(const QDateTime &time);
QDateTime minuteEnd(const QDateTime &time);

// Record times are local times. Unless TZ names the zone, glibc looks at
// /etc/localtime again (a stat call) for every local conversion, some
// microseconds per row of a chart page; naming it keeps the zone loaded.
// Call first in main, before any thread starts; a TZ already set is kept.
void keepLocalZoneLoaded();

// The text the queries bind for a window bound.
QString recordTimeText(const QDateTime &time);

#endif
