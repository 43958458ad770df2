#include "statements.h"

#include "recordnumber.h"

#include <QLocale>
#include <cmath>
#include <limits>

QString valueCondition(const MeterFamily &family, const TableSearch &search)
{
    const QString channel = QString::number(search.idx + 1);
    QStringList parts;
    if (search.ishl) {
        for (const QString &pattern : family.valueColumns) {
            const QString column = QString(pattern).replace(QStringLiteral("%1"), channel);
            parts << QStringLiteral("%1='HH' or %1='LL'").arg(column);
        }
        return QLatin1Char('(') + parts.join(QStringLiteral(" or ")) + QLatin1Char(')');
    }
    const double bounds[][2] = {{search.pv1, search.pv2}, {search.th1, search.th2}};
    for (int i = 0; i < family.valueColumns.size(); ++i) {
        if (unbounded(bounds[i][0], bounds[i][1]))
            continue;
        const QString column = QString(family.valueColumns.at(i)).replace(QStringLiteral("%1"), channel);
        QStringList range;
        if (!std::isinf(bounds[i][0]))
            range << QStringLiteral("cast(%1 as real)>%2").arg(column, boundText(bounds[i][0]));
        if (!std::isinf(bounds[i][1]))
            range << QStringLiteral("cast(%1 as real)<%2").arg(column, boundText(bounds[i][1]));
        // A marker or a text that is no number casts to 0 (or its leading
        // digits), yet holds no reading: it is in no range.
        parts << range.join(QStringLiteral(" and ")) + QStringLiteral(" and ") + numberCondition(column);
    }
    return parts.isEmpty() ? QStringLiteral("1") : parts.join(QStringLiteral(" and "));
}

bool unbounded(double low, double high)
{
    constexpr double Infinity = std::numeric_limits<double>::infinity();
    return low == -Infinity && high == Infinity;
}

double rangeBound(const QString &text, bool lower)
{
    const QString written = text.trimmed();
    if (written.isEmpty())
        return lower ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return written.toDouble();
}

QString boundText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString columnList(const QList<FamilyColumn> &columns, int channel)
{
    QStringList names;
    for (const FamilyColumn &c : columns)
        names << QString(c.name).replace(QStringLiteral("%1"), QString::number(channel));
    return names.join(QLatin1Char(','));
}

QString tableCountStatement(const MeterFamily &family, int meter, const TableSearch &search)
{
    return QStringLiteral("select count(rowid) from %1  where datetime(indate) between :indate1 and :indate2 and %2 order by rowid")
        .arg(family.table(meter), valueCondition(family, search));
}

QString tablePageStatement(const MeterFamily &family, int meter, const TableSearch &search, int pageRcd)
{
    const qint64 offset = qint64(qMax(0, search.pageid)) * pageRcd;
    return QStringLiteral("select  %1 from %2 where datetime(indate) between :indate1 and :indate2  and %3 order by rowid limit %4,%5")
        .arg(columnList(family.tableColumns, search.idx + 1), family.table(meter), valueCondition(family, search))
        .arg(offset)
        .arg(pageRcd);
}

int expectedPageRows(qint32 matching, qint64 offset, int pageSize)
{
    return int(qBound<qint64>(0, qint64(matching) - offset, qint64(pageSize)));
}

QString cellNumber(double value)
{
    return QString::number(value, 'g', 6);
}

QString recordCellText(const FamilyCell &cell, const RecordRow &row, bool ishl)
{
    const auto number = cellNumber;
    switch (cell.field) {
    case RowField::Id: return QString::number(row.id);
    case RowField::Channel: return QString::number(row.channel);
    case RowField::Primary: return ishl || std::isnan(row.value1) ? row.text1 : number(row.value1);
    case RowField::Secondary: return ishl || std::isnan(row.value2) ? row.text2 : number(row.value2);
    case RowField::Sv: return number(row.value2);
    case RowField::Out: return number(row.value3);
    case RowField::Al1Value: return number(row.value4);
    case RowField::Al2Value: return number(row.value5);
    case RowField::Alarm: return row.alarm(cell.alarm);
    case RowField::Time: return row.time.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    }
    return QString();
}

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

QString timeIndexStatement(const QString &table)
{
    return QStringLiteral("create index if not exists %1_time on %1(datetime(indate))").arg(table);
}

QString dropTimeIndexStatement(const QString &table)
{
    return QStringLiteral("drop index if exists %1_time").arg(table);
}

QString pageStatementFrom(QString pageStatement, qint64 skip)
{
    pageStatement.replace(QStringLiteral("where datetime(indate)"), QStringLiteral("where rowid >= :rowfrom and rowid < :rowto and datetime(indate)"));
    const qsizetype limit = pageStatement.lastIndexOf(QStringLiteral("limit ")) + 6;
    return pageStatement.left(limit) + QString::number(skip) + pageStatement.mid(pageStatement.indexOf(QLatin1Char(','), limit));
}
