#include "windowrecords.h"

#include "families.h"
#include "settings.h"

namespace {

QString alarmColumns(const MeterFamily &family, const QString &column)
{
    QString columns;
    for (int alarm : family.alarmsOf(column))
        columns += QStringLiteral(", alm%1").arg(alarm);
    return columns;
}

} // namespace

QString windowStatement(const MeterFamily &family, const QString &column)
{
    return QStringLiteral("select datetime(indate), %1, rowid%2 from main.%3 "
                          "where datetime(indate) >= :from and datetime(indate) < :to "
                          "order by datetime(indate), rowid")
        .arg(column, alarmColumns(family, column), family.table(Meter));
}

NativeWindowRecords::NativeWindowRecords(sqlite3 *handle, const MeterFamily &family, const QString &column)
    : statement(handle, windowStatement(family, column)),
      byRowid(handle, QStringLiteral("select datetime(indate), %1, rowid%2 from main.%3 where rowid between ? and ? "
                                     "order by rowid")
                          .arg(column, alarmColumns(family, column), family.table(Meter))),
      alarms(family.alarmsOf(column))
{
}

// Mostly a range's records lie together, in rowid order as in time order:
// then they are read without the time index, once the rows of their rowids
// prove to be as many as the overview counts and in time order. The rowids
// start and end at records of the range, so that a row stamped outside it
// breaks that order.
bool readRecordRange(NativeWindowRecords &records, const RecordRange &range, QList<ExcursionPoint> *points, bool *byRowid,
                     const std::function<bool()> &stopping)
{
    const auto keep = [&](const ExcursionPoint &p) {
        *points << p;
        return points->size() % 4096 != 0 || !stopping();
    };
    *byRowid = false;
    if (range.lastRowid - range.firstRowid + 1 == range.records) {
        if (!records.readRowids(range.firstRowid, range.lastRowid, [&](const ExcursionPoint &p) {
                return (points->isEmpty() || p.time >= points->constLast().time) && keep(p);
            }))
            return false;
        *byRowid = points->size() == range.records;
        if (*byRowid || stopping())
            return !stopping();
        points->clear();
    }
    return records.read(range.from, range.to, keep) && !stopping();
}
