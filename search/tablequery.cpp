#include "tablequery.h"

#include "recordtime.h"
#include "settings.h"

#include <QDebug>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cmath>
#include <limits>

namespace {

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
        const QString column = QString(family.valueColumns.at(i)).replace(QStringLiteral("%1"), channel);
        parts << QStringLiteral("cast(%1 as real)>%2 and cast(%1 as real)<%3")
                     .arg(column, boundText(bounds[i][0]), boundText(bounds[i][1]));
    }
    return parts.join(QStringLiteral(" and "));
}

// A process value in range mode: its number, or NaN and the stored text for
// a marker ("HH", "LL") or anything else that is not a number.
void readMeasured(const QVariant &value, double &number, QString &text)
{
    bool ok = false;
    number = value.toDouble(&ok);
    if (!ok) {
        number = std::numeric_limits<double>::quiet_NaN();
        text = value.toString();
    }
}

double roundedOut(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const int whole = value.toString().toInt(&ok, 10);
        return ok ? whole : 0;
    }
    return std::round(value.toDouble());
}

} // namespace

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
    const qint64 offset = search.pageid < 0 ? 0 : qint64(search.pageid) * pageRcd;
    return QStringLiteral("select  %1 from %2 where datetime(indate) between :indate1 and :indate2  and %3 order by rowid limit %4,%5")
        .arg(columnList(family.tableColumns, search.idx + 1), family.table(meter), valueCondition(family, search))
        .arg(offset)
        .arg(pageRcd);
}

int expectedPageRows(qint32 matching, qint64 offset, int pageSize)
{
    return int(qBound<qint64>(0, qint64(matching) - offset, qint64(pageSize)));
}

QString recordCellText(const FamilyCell &cell, const RecordRow &row, bool ishl)
{
    const auto number = [](double value) { return QString::number(value, 'g', 6); };
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

RecordRow readRecordRow(const QSqlQuery &query, const QList<FamilyColumn> &columns, bool ishl)
{
    RecordRow row;
    for (int i = 0; i < columns.size(); ++i) {
        const QVariant v = query.value(i);
        switch (columns.at(i).field) {
        case RowField::Primary:
            if (ishl)
                row.text1 = v.toString();
            else
                readMeasured(v, row.value1, row.text1);
            break;
        case RowField::Secondary:
            if (ishl)
                row.text2 = v.toString();
            else
                readMeasured(v, row.value2, row.text2);
            break;
        case RowField::Sv: row.value2 = v.toDouble(); break;
        case RowField::Out: row.value3 = roundedOut(v); break;
        case RowField::Al1Value: row.value4 = v.toDouble(); break;
        case RowField::Al2Value: row.value5 = v.toDouble(); break;
        case RowField::Alarm: row.alarm(columns.at(i).alarm) = v.toString(); break;
        case RowField::Time: row.time = recordWallClock(v.toString()); break;
        case RowField::Id:
        case RowField::Channel: break;
        }
    }
    return row;
}
