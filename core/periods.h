#ifndef PERIODS_H
#define PERIODS_H

#include "excursions.h"
#include "windowsummary.h"

#include <QList>
#include <QtNumeric>

// The lengths a window is tabulated by; weeks start on Monday. Periods
// follow the wall clock written, so a day of a clock change is a day.
enum class PeriodLength { Hour, Day, Week, Month };

// The figures of one value column over one period of a window.
struct PeriodFigures {
    qint64 start = 0, end = 0;    // naive seconds: the period's first second and the next period's
    qint64 records = 0;           // every record, markers and unreadable texts included
    qint64 numbers = 0;
    double minimum = qQNaN(), maximum = qQNaN();
    qint64 minimumTime = 0, maximumTime = 0; // naive seconds of the first record holding each
    CompensatedSum sum{0, 0};
    CompensatedSum kinetic{0, 0}; // of kineticTerm() of each number
    qint64 high = 0, low = 0;     // HH and LL records
    qint64 excursions = 0;        // beyond a limit or marked, starting in the period
    qint64 secondsOutside = 0;    // of those excursions, within the period
    qint64 secondsAbove = 0, secondsBelow = 0; // of the excursions above and below the limits, within it
    double firstValue = qQNaN(), lastValue = qQNaN(); // the first and last number in it
    qint64 secondsWithoutRecords = 0; // of the gaps, within the period

    double mean() const { return numbers > 0 ? sum.total() / double(numbers) : qQNaN(); }
    double meanKinetic() const;
    qint64 unreadable() const { return records - numbers - high - low; }
};

// The figures of consecutive periods as one: the window they tabulate.
PeriodFigures joinedFigures(const QList<PeriodFigures> &periods);

// The first second of the period that holds naive second `at`, and of the next one.
qint64 periodStart(qint64 at, PeriodLength length);
qint64 nextPeriodStart(qint64 start, PeriodLength length);

// Tabulates a window's records fed in time order, one by one or by cells
// that lie within a period, and the excursions found among them.
class PeriodTabulator
{
public:
    PeriodTabulator(PeriodLength length, qint64 windowStart, qint64 windowEnd);
    // One period: the seconds [start, end].
    static PeriodTabulator span(qint64 start, qint64 end);
    void add(const ExcursionPoint &point);
    void addWhole(const OverviewCell &cell);
    // Counts an excursion into the periods it reaches, given in order of
    // their starts once the records up to its start are added.
    void addExcursion(const Excursion &excursion);
    QList<PeriodFigures> finish() const { return periods; }
    // The figures with the excursions counted in, given in order of their starts.
    QList<PeriodFigures> finish(const QList<Excursion> &excursions);

private:
    PeriodFigures *periodAt(qint64 at);

    PeriodLength length;
    qint64 windowStart, windowEnd;
    QList<PeriodFigures> periods;
    qsizetype firstUnended = 0; // the first period that ends after the last excursion's start
};

// The periods from the first to the last of the window's `points` (in time
// order, naive seconds within [windowStart, windowEnd]), with their figures
// and those of the `excursions` found among the points.
QList<PeriodFigures> periodFigures(const QList<ExcursionPoint> &points, const QList<Excursion> &excursions,
                                   PeriodLength length, qint64 windowStart, qint64 windowEnd);

// The figures of the seconds [start, end] alone, from the points and
// excursions of a window that holds them.
PeriodFigures spanFigures(const QList<ExcursionPoint> &points, const QList<Excursion> &excursions, qint64 start,
                          qint64 end);

// The periods of the last window a job tabulated, written before its final
// report, read by its page after it.
extern QList<PeriodFigures> g_periods;
// The figures between the cursors of the last span a job measured.
extern PeriodFigures g_spanFigures;

#endif
