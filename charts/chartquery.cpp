#include "chartquery.h"

#include "tablequery.h"

#include <QDebug>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

QString chartCountStatement(const MeterFamily &family, int meter)
{
    return QStringLiteral("select count(rowid) from %1  where datetime(indate) between :indate1 and :indate2 order by rowid")
        .arg(family.table(meter));
}

QString chartPageStatement(const MeterFamily &family, int meter, const ChartRequest &request, int plotRcd)
{
    const bool firstPage = request.pageid < 0;
    const qint64 offset = firstPage ? 0 : qint64(request.pageid) * plotRcd;
    const QString select = firstPage && !family.chartFirstPageDoubleBlank ? QStringLiteral("select ")
                                                                          : QStringLiteral("select  ");
    return select
        + QStringLiteral("%1 from %2 where datetime(indate) between :indate1 and :indate2  order by rowid limit %3,%4")
              .arg(columnList(family.chartColumns, request.idx + 1), family.table(meter))
              .arg(offset)
              .arg(plotRcd);
}
