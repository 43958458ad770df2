#ifndef RECORDTIME_H
#define RECORDTIME_H

#include <QDateTime>
#include <QString>

// Reads a stored record time "yyyy-MM-dd hh:mm:ss" as local time, ignoring
// the trailing white space (the record line's end) that `indate` keeps.
// Anything else gives an invalid QDateTime. Parsing the fixed layout by hand
// is some twenty times faster than QDateTime::fromString on a chart page.
QDateTime parseRecordTime(QStringView text);

// Record times are local times. Unless TZ names the zone, glibc looks at
// /etc/localtime again (a stat call) for every local conversion, some
// microseconds per row of a chart page; naming it keeps the zone loaded.
// Call first in main, before any thread starts; a TZ already set is kept.
void keepLocalZoneLoaded();

// The text the queries bind for a window bound.
QString recordTimeText(const QDateTime &time);

#endif
