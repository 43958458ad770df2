#ifndef OVERVIEWREADING_H
#define OVERVIEWREADING_H

#include "overviewcells.h"
#include "stampblocks.h"

#include <QSqlDatabase>
#include <QString>
#include <QVector>

// What a chart draws of a window: the overview's kept hours and minutes
// inside it, and the records of the stretches they cut at its edges.
namespace RecordOverview {

// How read() found the records of the stretches it read record by record:
// a minute between the rowids its cell holds, or in the blocks of `stamps`.
struct StretchReads {
    qint64 byCells = 0, byBlocks = 0;
};

// The cells of one value column for the plan's columns, its records read
// where `stamps` says they lie; SQLite's reason when that failed.
QString read(QSqlDatabase &db, const QString &table, const QString &column, const StampBlocks &stamps,
             const OverviewPlan &plan, QVector<OverviewCell> *cells, StretchReads *stretches = nullptr);

} // namespace RecordOverview

#endif
