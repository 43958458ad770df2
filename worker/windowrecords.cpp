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

QString windowStatement(const MeterFamily &family, const QString &column, bool withinRowids)
{
    return QStringLiteral("select datetime(indate), %1, rowid%2 from main.%3 "
                          "where datetime(indate) >= :from and datetime(indate) < :to%4 "
                          "order by datetime(indate), rowid")
        .arg(column, alarmColumns(family, column), family.table(Meter),
             withinRowids ? QStringLiteral(" and rowid between :first and :last") : QString());
}

NativeWindowRecords::NativeWindowRecords(sqlite3 *handle, const MeterFamily &family, const QString &column,
                                         const StampBlocks &stamps)
    : statement(handle, windowStatement(family, column)),
      withinRowids(handle, windowStatement(family, column, true)),
      byRowid(handle, QStringLiteral("select datetime(indate), %1, rowid%2 from main.%3 where rowid between ? and ? "
                                     "order by rowid")
                          .arg(column, alarmColumns(family, column), family.table(Meter))),
      alarms(family.alarmsOf(column)),
      stamps(stamps)
{
}
