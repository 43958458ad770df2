#ifndef EXCURSIONS_H
#define EXCURSIONS_H

#include "channellimits.h"
#include "overviewcells.h"

#include <QList>

#include <functional>
#include <optional>

class ExcursionList;
struct PackedRecords;

// One record of a value column, as the excursions read it.
struct ExcursionPoint {
    enum Kind { Number, High, Low, Unreadable }; // High, Low: the HH and LL markers
    qint64 time = 0; // naive seconds of the wall clock written
    double value = 0;
    Kind kind = Number;
    qint64 rowid = 0;
    quint8 alarms = 0; // bit n-1: the instrument's alarm n of the value column is on
};

// A stretch of records outside the limits (or marked HH or LL), or without
// records. It starts at its first record and ends at the first record back
// inside, or at its last record where a gap or the window's end cuts it.
struct Excursion {
    // A byte, beside `cut` and `alarm`: a noisy year holds about a million of these.
    enum Kind : quint8 { AboveUpper, BelowLower, High, Low, Gap, Alarm };
    static constexpr int KindCount = Alarm + 1;
    Kind kind = AboveUpper;
    bool cut = false;        // ended by a gap or the window's end, not by a record back inside
    int alarm = 0;           // of an alarm: its number
    qint64 start = 0, end = 0;
    double extreme = 0;      // the greatest value above, the least below
    qint64 extremeTime = 0;
    qint64 records = 0;
    qint64 firstRowid = 0;   // of the record it starts at
    double setValue = 0;     // of an alarm: its set value at the start, NaN if none was recorded

    qint64 duration() const { return end - start; }
    bool operator==(const Excursion &other) const;
};

struct ExcursionTotals {
    qint64 counts[Excursion::KindCount] = {};  // by Excursion::Kind
    qint64 seconds[Excursion::KindCount] = {}; // by Excursion::Kind
    double withinShare = 0; // of the window's seconds, those neither outside nor in a gap (alarms aside)
};

// The logging interval of records in time order: the median step between them (0: fewer than two).
qint64 loggingInterval(const QList<ExcursionPoint> &points);
// A stretch without records longer than this many logging intervals is a gap.
constexpr qint64 GapIntervals = 3;
// The longest step between records in time order that is no gap.
qint64 gapSecondsOf(const QList<ExcursionPoint> &points);
qint64 gapSecondsOf(qint64 loggingInterval);

// The excursions of a window's records fed in time order from the limits; a
// step of more than `gapSeconds` between two records is a gap. An excursion
// shorter than the delay does not count; one ends only once a value is back
// inside by the dead-band. Texts that are no number are no reading: they
// change nothing. Beside them, the runs of records with an alarm of the
// instrument on: a run ends at the first record with it off, or where a gap
// or the window's end cuts it.
class ExcursionFinder
{
public:
    ExcursionFinder(const ChannelLimits &limits, qint64 gapSeconds);
    void add(const ExcursionPoint &point);
    // Adds records [begin, end) of a packed block, in time order, as add()
    // would one by one: the numbers that leave everything as it is, or only
    // extend the excursion open, are taken a stretch at a time.
    void addPacked(const PackedRecords &records, qint64 begin, qint64 end);
    // Whether the records a cell sums up do what its first one does, the
    // rest only extending it, so that addWhole() may stand for them.
    bool takesWhole(const OverviewCell &cell) const;
    void addWhole(const OverviewCell &cell);
    // Hands each excursion found, but the instrument's alarms, to `sink` in
    // order of their starts instead of keeping it for finish().
    void setSink(std::function<void(const Excursion &)> sink);
    // Every excursion found, in order of their starts.
    QList<Excursion> finish();

private:
    // Of a packed block: numbers inside both limits have codes [insideFrom,
    // insideTo), those still above from `stillAboveFrom`, those still below
    // below `stillBelowTo`.
    struct QuietCodes {
        quint32 insideFrom, insideTo, stillAboveFrom, stillBelowTo;
    };
    template<typename Codes>
    qint64 skipQuiet(const PackedRecords &records, const Codes &codes, const QuietCodes &quiet, qint64 begin,
                     qint64 end);
    // A run of numbers between markers that all do what its first one does.
    void addRun(const MarkerEvent &run);
    void close(qint64 end, bool cut);
    void keep(const Excursion &excursion);
    void extend(const ExcursionPoint &point, bool counted = true);
    void addAlarms(const ExcursionPoint &point);
    void closeAlarm(int alarm, qint64 end, bool cut);

    ChannelLimits limits;
    qint64 gapSeconds;
    QList<Excursion> found, alarmsFound;
    std::function<void(const Excursion &)> sink;
    std::optional<Excursion> open;
    std::optional<Excursion> alarmRuns[8];
    quint8 runningAlarms = 0; // bit a: alarmRuns[a] is open
    std::optional<qint64> lastReading, lastAny; // times of the last record with a reading, and of any
};

// The excursions of `points`, in time order, as above.
QList<Excursion> findExcursions(const QList<ExcursionPoint> &points, const ChannelLimits &limits, qint64 gapSeconds);
ExcursionTotals excursionTotals(const ExcursionList &excursions, qint64 windowSeconds);
// The shades that draw `excursions` where they meet [from, to] (naive
// seconds) at `resolution` seconds a pixel: one of a kind (an alarm: of a
// number) spans those that follow each other closer than a pixel, as the
// eye would see them anyway. A year of noise crossing the limits has a
// million excursions but a chart only some thousand pixels.
QList<Excursion> excursionShades(const ExcursionList &excursions, qint64 from, qint64 to, qint64 resolution);

#endif
