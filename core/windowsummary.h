#ifndef WINDOWSUMMARY_H
#define WINDOWSUMMARY_H

#include "statements.h"

#include <QDateTime>
#include <QList>
#include <QString>

// What one value column held over a searched window. Markers and values
// that are not numbers stay out of the minimum, maximum and mean; of equal
// extremes the first record (in the order the pages list them) counts.
struct ValueSummary {
    qint64 numbers = 0, hh = 0, ll = 0, unreadable = 0;
    double minimum = 0, maximum = 0, mean = 0;
    double meanKinetic = 0; // °C, of the numbers read as °C; NaN where not defined
    qint64 minimumRow = 0, maximumRow = 0;    // rowids
    QDateTime minimumTime, maximumTime;       // as written (wall clock)
};

struct WindowSummary {
    qint64 count = 0;
    QList<ValueSummary> values; // one per value column of the family
};

// Neumaier's compensated sum: a year of values adds up without drift, and
// in any order to the same total. (A long double would not fit SQLite's
// 8-byte aligned context.)
struct CompensatedSum {
    double sum, error; // sum + error is the exact total's nearest
    void add(double term);
    void add(const CompensatedSum &later);
    double total() const { return sum + error; }
};

// The aggregate SQLite function the worker registers on its connections:
// window_summary(value, rowid) returns a SummaryTotals blob.
struct SummaryTotals {
    qint64 numbers, hh, ll, unreadable;
    qint64 minimumRow, maximumRow;
    double minimum, maximum;
    CompensatedSum sum;
    CompensatedSum kinetic; // of kineticTerm() of each number
};

// Counts a stored value, given as SQLite's text of it (none: NULL), into the
// totals: a marker, a number by the one rule (recordnumber), or unreadable.
void addStoredValue(SummaryTotals &totals, const char *text, qsizetype size, qint64 row);
// Counts a number read from a stored value, with its kineticTerm().
void addNumber(SummaryTotals &totals, double number, double kinetic, qint64 row);

// The records a search selects: its window, and its value condition (a
// chart: its window alone).
QString windowCondition(const MeterFamily &family, const TableSearch &search, bool chart);
// One pass over the window of a search: count(rowid), then window_summary()
// of each value column.
QString summaryStatement(const MeterFamily &family, int meter, const TableSearch &search, bool chart);
// Adds the totals of later rowids to those of earlier ones; of equal
// extremes the earlier rowid counts.
void addTotals(SummaryTotals &earlier, const SummaryTotals &later);
// How many records of the same window come before rowid :row, from rowid :rowfrom on.
QString positionStatement(const MeterFamily &family, int meter, const TableSearch &search, bool chart);
// The first record of the search stamped at or after :at (`backwards`: the
// last at or before it), records stamped alike in table order: its rowid and
// stamp; `withinRowids`: among rowids :rowfrom to :rowto alone, with its
// datetime(indate) after them.
QString recordAtStatement(const MeterFamily &family, int meter, const TableSearch &search, bool chart, bool backwards,
                          bool withinRowids = false);
ValueSummary valueSummary(const SummaryTotals &totals);

// The summary of the last new search and the place of the last record
// located: written by a job before its final report, read by its page after it.
extern WindowSummary g_summary;
extern qint64 g_recordPosition;
// The record a time leads to (rowid -1: none at or after it).
struct RecordAtTime {
    qint64 rowid = -1;
    QDateTime time;
};
extern RecordAtTime g_recordAtTime;

// One line of rich text naming each value column as `valueNames` give it,
// with the mean kinetic temperature of those whose unit is "°C"; the links
// "min<i>" and "max<i>" lead to the extremes of value column i
// ("min<i>/<channel>" where a channel is given).
QString summaryText(const WindowSummary &summary, const QStringList &valueNames, int channel = -1,
                    const QStringList &units = {});

#endif
