#ifndef OVERVIEWCELLS_H
#define OVERVIEWCELLS_H

#include "stepcounts.h"
#include "wallclock.h"

#include <QDateTime>
#include <QStringList>
#include <QVector>
#include <limits>
#include <vector>

// What an overview keeps of the records of one value column in a span of
// time: enough to draw them as a line would be drawn through all of them
// (the first and last record, the least and greatest value, each with its
// time) and to place the HH and LL markers. Times are the stamps' seconds
// counted as if they were UTC ("naive" seconds), so spans never meet a
// change of the clock.
struct OverviewPoint {
    qint64 time = 0;
    qint64 rowid = 0;
    double value = std::numeric_limits<double>::quiet_NaN(); // NaN: no number (a marker, unreadable)

    // Earlier in time, then in rowid.
    bool before(const OverviewPoint &other) const
    {
        return time < other.time || (time == other.time && rowid < other.rowid);
    }
};

// Where a cell's records hold a marker, in time order: each marker, and the
// first number of each run of numbers between them (Back) with the run's
// count and its least and greatest number, so that a run beyond a limit is
// known as an excursion without its records.
struct MarkerEvent {
    enum Kind : quint8 { High, Low, Back };
    qint64 time = 0;
    qint64 rowid = 0;
    Kind kind = High;
    qint64 numbers = 0; // of a run: its numbers, and of equal ones the earlier
    OverviewPoint least, greatest; // as kept, with the run's first rowid

    static MarkerEvent runFrom(const OverviewPoint &first);
    // Adds a number after the run's others, or a later run.
    void extendRun(const OverviewPoint &number);
    void extendRun(const MarkerEvent &later);
    bool operator==(const MarkerEvent &o) const;
};

struct OverviewCell {
    qint64 records = 0; // with a readable stamp
    qint64 numbers = 0;
    qint64 hh = 0;
    qint64 ll = 0;
    OverviewPoint first;
    OverviewPoint last;
    OverviewPoint minimum; // of equal values the earlier record
    OverviewPoint maximum;
    double sum = 0;        // of the numbers
    double kinetic = 0;    // of kineticTerm() of the numbers
    quint8 alarms = 0;     // bit n-1: the instrument's alarm n of the column was on in some record
    StepCounts steps;      // between its records in time order
    OverviewPoint firstNumber; // in time order (of a kept cell, the value at its first record's place)
    OverviewPoint lastNumber;
    std::vector<MarkerEvent> markers; // of a cell with HH or LL: its markers and runs of numbers

    enum class Kind : quint8 { Number, High, Low, Unreadable };
    // Adds a record; its step to the others is the caller's to count.
    void add(const OverviewPoint &point, Kind kind);
    // Adds another cell's records, its steps and the step where they meet
    // when `later` holds only records after this cell's.
    void merge(const OverviewCell &other);
    void append(const OverviewCell &later);
    // The numbers of a cell without markers as one run.
    MarkerEvent wholeRun() const;
    // Records the markers and runs of numbers of a cell that holds a marker,
    // fed its records in time order after add().
    void addMarkerEvent(const OverviewPoint &point, Kind kind);
    // The markers as kept, in time order: each time and rowid from the one before
    // (the first from the span's start and the first record's), a run's extremes from its start.
    QByteArray packedMarkers(qint64 spanStart) const;
    void unpackMarkers(const char *data, int size, qint64 spanStart);
    bool operator==(const OverviewCell &other) const;
};

// The kind of a stored value text, and its number.
OverviewCell::Kind overviewKind(const char *text, int size, double *number);


// The kept levels of the overview: each sums up spans of this many seconds.
constexpr qint64 OverviewLevels[] = {60, 3600};

// How an overview of [from, to] (both included) at `width` pixel columns
// is read: columns of `columnSeconds` from `origin` (a multiple of it),
// clipped to the window; made of the kept spans of `level` (-1: the records
// themselves, when a column is shorter than the shortest span).
struct OverviewPlan {
    qint64 from = 0;
    qint64 to = 0; // included
    qint64 columnSeconds = 1;
    qint64 origin = 0;
    int level = -1;
    int columns = 0;

    // The column of a time within the window.
    int columnOf(qint64 time) const { return int((time - origin) / columnSeconds); }
    qint64 columnStart(int column) const { return qMax(from, origin + column * columnSeconds); }
    qint64 columnEnd(int column) const { return qMin(to + 1, origin + (column + 1) * columnSeconds); } // excluded
};

OverviewPlan planOverview(qint64 from, qint64 to, int width);

// The result of an overview job: per value column asked for, its cells.
struct Overview {
    OverviewPlan plan;
    QStringList columns;
    QVector<QVector<OverviewCell>> cells;
};

#endif
