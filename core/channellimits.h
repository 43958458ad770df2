#ifndef CHANNELLIMITS_H
#define CHANNELLIMITS_H

#include "families.h"

#include <QList>
#include <QString>
#include <QtNumeric>

// What the user says of one value column: its tag, and the limits its
// readings are held to. A limit of NaN is none.
struct ChannelLimits {
    QString name;               // "Boiler 2 outlet"
    QString unit;               // "°C"; empty: the unit the instrument records, if any
    double lower = qQNaN();
    double upper = qQNaN();
    double deadBand = 0;        // an excursion ends once the value is back inside by this much
    qint64 delaySeconds = 0;    // shorter excursions do not count
    double axisFrom = qQNaN();  // a fixed range of its value axis in the whole window; NaN: fitted
    double axisTo = qQNaN();

    bool hasLower() const { return !qIsNaN(lower); }
    bool hasUpper() const { return !qIsNaN(upper); }
    bool hasAxisRange() const { return !qIsNaN(axisFrom) && !qIsNaN(axisTo); }
    bool operator==(const ChannelLimits &other) const;
};

// One value column of the records of a meter, as the limits name it.
struct LimitedColumn {
    QString key;        // "meter12/pv1": the table and the column
    QString label;      // "CH1 PV", "Temperature"
    QString recordUnit; // the unit the instrument records, if the family says
};

QList<LimitedColumn> limitedColumns(const MeterFamily &family, int meter);
// The key of value column `valueIndex` of a channel (-1: none) of the meter's records.
QString limitsKey(const MeterFamily &family, int meter, int channel, int valueIndex);

#endif
