#include "rowreader.h"

#include "recordnumber.h"
#include "recordtime.h"

#include <QSqlQuery>
#include <QVariant>
#include <cmath>
#include <limits>

namespace {

// A process value in range mode: its number, or NaN and the stored text for
// a marker ("HH", "LL") or anything else that is not a number.
void readMeasured(const QVariant &value, double &number, QString &text)
{
    const QMetaType::Type type = QMetaType::Type(value.typeId());
    const bool ok = type == QMetaType::Double || type == QMetaType::LongLong || type == QMetaType::Int
        ? (number = value.toDouble(), true)
        : readRecordNumber(value.toString(), &number);
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

RecordRow readRecordRow(const QSqlQuery &query, const QList<FamilyColumn> &columns, bool ishl)
{
    RecordRow row;
    for (int i = 0; i < columns.size(); ++i) {
        const QVariant v = query.value(i);
        switch (columns.at(i).field) {
        case RowField::Primary:
        case RowField::Secondary: {
            const bool primary = columns.at(i).field == RowField::Primary;
            QString &text = primary ? row.text1 : row.text2;
            if (ishl)
                text = v.toString();
            else
                readMeasured(v, primary ? row.value1 : row.value2, text);
            break;
        }
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
