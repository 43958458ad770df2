#ifndef OTHEROVERVIEW_H
#define OTHEROVERVIEW_H

#include "overviewcells.h"

#include <QString>
#include <QtNumeric>

// One value column of another instrument's records, laid over the window's own.
struct OtherColumn {
    QString folder;    // its data folder
    int meter = 0;     // its model, as its settings file says
    QString column;    // "pv1", "pv_value", "hum_value"
    QString label;     // "CH1 PV", "Humidity", with that instrument's tag
    QString unit;      // its tag's, else the unit its instrument records
    double axisFrom = qQNaN(); // the fixed range of its axis set there; NaN: fitted
    double axisTo = qQNaN();
};

// What was read of one of them for a plan.
struct OtherOverview {
    QVector<OverviewCell> cells;
    QString error; // why it could not be read
    QString path;  // what was read ("spans of 60 s", "the records")
};

// The overview cells of `other` for the plan's columns, from the record.db
// of its folder, opened only for reading on a connection of its own: for
// any thread, and nothing of that folder is written. `path` says what was
// read ("spans of 60 s", "the records"); the reason when it could not be read.
QString readOtherOverview(const OtherColumn &other, const OverviewPlan &plan, QVector<OverviewCell> *cells,
                          QString *path);

#endif
