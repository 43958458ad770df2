#ifndef CHARTQUERY_H
#define CHARTQUERY_H

#include "families.h"

#include <QDateTime>
#include <QString>

struct ChartRequest {
    bool qx = false;
    int pageid = -1;
    int idx = 0;
    QDateTime st;
    QDateTime en;
};

QString chartCountStatement(const MeterFamily &family, int meter);
QString chartPageStatement(const MeterFamily &family, int meter, const ChartRequest &request, int plotRcd);

#endif
