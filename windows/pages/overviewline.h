#ifndef OVERVIEWLINE_H
#define OVERVIEWLINE_H

#include "overviewcells.h"

#include <QVector>

// One value column's line through the overview's columns, as a chart draws
// it: the records that stand for each column in time order, a break where no
// record comes for longer than `gap` seconds; the rowid of each point (-1: a
// break), and the keys of the columns that hold HH or LL.
struct OverviewLine {
    QVector<double> keys; // seconds since 1970 of the local time written
    QVector<double> values;
    QVector<qint64> rowids;
    QVector<double> hhKeys, llKeys;
};

OverviewLine overviewLine(const QVector<OverviewCell> &cells, const OverviewPlan &plan, double gap);
// The gap of a line over the whole overview: a few logging intervals, and
// never less than two columns.
double overviewGap(const Overview &overview, int gapIntervals);

#endif
