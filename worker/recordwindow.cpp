// How the jobs that follow a value column through a window (excursions,
// periods, cursors) read its records in time order: through the overview's
// hours and minutes wherever one of them decides what each of its records
// does, else record by record.
#include "sqlthread.h"

#include "cellreader.h"
#include "excursionlist.h"
#include "recordprefetch.h"
#include "windowrecords.h"
#include "families.h"
#include "nativestatement.h"
#include "packedblockstream.h"
#include "periods.h"
#include "recorddatabase.h"
#include "recordnumber.h"
#include "recordoverview.h"
#include "rowinserter.h"
#include "settings.h"
#include "wallclock.h"

#include <QSqlError>
#include <algorithm>
#include <deque>
#include <QSqlQuery>
#include <sqlite3.h>

namespace {

qint64 ceilDiv(qint64 a, qint64 b)
{
    return -floorDiv(-a, b);
}

// A result row as QSqlQuery gives it.
struct QueryRow {
    const QSqlQuery &query;
    QByteArray text(int i) const { return query.value(i).toByteArray(); }
    bool isNull(int i) const { return query.value(i).isNull(); }
    qint64 integer(int i) const { return query.value(i).toLongLong(); }
};

// The records that a walk reads at once at most, so that a window whose
// every minute must be read is read in pieces.
constexpr qint64 MostPendingRecords = 65536;

// A part of a window in time order: records read, or a kept cell.
struct WindowPart {
    int level = -1; // -1: the records in `points`
    qint64 span = 0;
    OverviewCell cell;
    QList<ExcursionPoint> points;
};

// A cell lies within a period: its figures are the period's for its records.
void tabulateParts(const std::vector<WindowPart> &parts, PeriodTabulator &periods)
{
    for (const WindowPart &part : parts) {
        if (part.level >= 0)
            periods.addWhole(part.cell);
        for (const ExcursionPoint &point : part.points)
            periods.add(point);
    }
}

// A finder whose excursions go to the list asked for, packed, or else to
// the periods, as they are found; the instrument's alarms come at its finish.
ExcursionFinder finderFor(const ChannelLimits &limits, qint64 gapSeconds, ExcursionList *excursions,
                          PeriodTabulator *periods)
{
    ExcursionFinder finder(limits, gapSeconds);
    if (excursions) {
        excursions->clear();
        finder.setSink([excursions](const Excursion &excursion) { excursions->append(excursion); });
    } else if (periods) {
        finder.setSink([periods](const Excursion &excursion) { periods->addExcursion(excursion); });
    }
    return finder;
}

} // namespace

// Reads the records of windowStatement() through QSqlQuery: the reference
// the quicker reading is held to, and the way without SQLite's own handle.
class WindowRecords
{
public:
    WindowRecords(QSqlDatabase &db, const MeterFamily &family, const QString &column)
        : query(db), alarms(family.alarmsOf(column))
    {
        query.setForwardOnly(true);
        prepared = query.prepare(windowStatement(family, column));
    }
    template<class Visit>
    bool read(qint64 from, qint64 to, Visit &&visit)
    {
        query.bindValue(QStringLiteral(":from"), stampText(from));
        query.bindValue(QStringLiteral(":to"), stampText(to));
        if (!prepared || !query.exec())
            return false;
        while (query.next()) {
            if (!visit(pointOf(QueryRow{query}, alarms)))
                return true;
        }
        query.finish();
        return true;
    }
    QSqlQuery query;

private:
    QList<int> alarms;
    bool prepared = false;
};

bool SQLThread::readWindowPoints(int familyNumber, const QString &column, const QDateTime &st, const QDateTime &en,
                                 QList<ExcursionPoint> *points)
{
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const MeterFamily &family = meterFamily(familyNumber);
    ensureTimeIndex(family.table(Meter));
    WindowRecords records(db, family, column);
    const bool read = records.read(naiveSeconds(st), naiveSeconds(en) + 1, [&](const ExcursionPoint &point) {
        if (points->size() % 4096 == 0 && cancelRequested())
            return false;
        *points << point;
        return true;
    });
    if (cancelRequested()) {
        finishCancelled();
        return false;
    }
    if (!read)
        failQuery("window points", records.query);
    return read;
}

bool SQLThread::overviewReady(const MeterFamily &family)
{
    if (!waitForOverviewBuild()) {
        finishCancelled();
        return false;
    }
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const QString table = family.table(Meter);
    // A database without one (an earlier version's, a build that was stopped) gets it now.
    if (!RecordOverview::current(db, table)) {
        emit PostProgress(tr("Summing up the records..."), 30);
        noteReadPath(QStringLiteral("overview built"), false);
        const QString error = RecordOverview::build(db, family, Meter, [this] { return cancelRequested(); });
        if (cancelRequested()) {
            finishCancelled();
            return false;
        }
        if (!error.isEmpty()) {
            finishJob(JobOutcome::Failed, tr("The search failed: %1").arg(error));
            return false;
        }
    }
    return true;
}

bool SQLThread::walkWindow(int familyNumber, const QString &column, const QDateTime &st, const QDateTime &en,
                           const ChannelLimits &limits, ExcursionList *excursions, qint64 *gapSeconds,
                           PeriodTabulator *periods)
{
    const auto feedPoint = [&](ExcursionFinder &finder, const ExcursionPoint &point) {
        if (periods)
            periods->add(point);
        finder.add(point);
    };
    const auto finish = [&](ExcursionFinder &finder) {
        const QList<Excursion> alarms = finder.finish(); // the rest went to the sink
        if (excursions && !alarms.isEmpty())
            *excursions = excursions->mergedWith(alarms);
    };
    startReadPaths();
    if (pageAccess() != PageAccess::Chosen) {
        // Forced: every record read, as the reference the cells are held to.
        QList<ExcursionPoint> points;
        if (!readWindowPoints(familyNumber, column, st, en, &points))
            return false;
        *gapSeconds = gapSecondsOf(points);
        ExcursionFinder finder(limits, *gapSeconds);
        for (const ExcursionPoint &point : std::as_const(points))
            feedPoint(finder, point);
        const QList<Excursion> found = finder.finish();
        if (excursions)
            *excursions = ExcursionList(found);
        else if (periods)
            periods->finish(found); // the reference counts them in once all are found
        noteReadPath(QStringLiteral("window of %1 records read").arg(points.size()), false);
        return true;
    }
    const MeterFamily &family = meterFamily(familyNumber);
    if (!overviewReady(family))
        return false;
    const QString table = family.table(Meter);
    const StampBlocks stamps = recordFunctionsUsable() ? StampBlocks::load(db, family, Meter) : StampBlocks();
    NativeWindowRecords records(sqliteHandle(db), family, column, stamps);
    CellReader cellReader(db, table, column);
    const auto fail = [&](const QString &error) {
        if (cancelRequested())
            finishCancelled();
        else
            finishJob(JobOutcome::Failed, tr("The search failed: %1").arg(error));
        return false;
    };
    const auto readPoints = [&](qint64 from, qint64 to, const std::function<void(const ExcursionPoint &)> &visit) {
        qint64 count = 0;
        return records.read(from, to, [&](const ExcursionPoint &point) {
            if (++count % 4096 == 0 && cancelRequested())
                return false;
            visit(point);
            return true;
        }) && !cancelRequested();
    };

    // The window as records at its ragged ends, minutes next to them and hours between.
    const qint64 from = naiveSeconds(st), to = naiveSeconds(en) + 1;
    std::vector<WindowPart> parts;
    // The hours without their markers, which are read a week at a time where they are needed.
    const auto addCells = [&](int level, qint64 fromSpan, qint64 toSpan) {
        std::vector<std::pair<qint64, OverviewCell>> cells;
        const QString error = cellReader.read(level, fromSpan, toSpan, &cells, level == 0);
        // A year's hours are 8,760 parts: grown by doubling they would take twice their room.
        parts.reserve(parts.size() + cells.size());
        for (auto &[span, cell] : cells)
            parts.push_back(WindowPart{level, span, std::move(cell), {}});
        return error;
    };
    const auto addRecords = [&](qint64 a, qint64 b) {
        WindowPart part;
        return a >= b || (readPoints(a, b, [&](const ExcursionPoint &p) { part.points << p; })
                          && (parts.push_back(part), true));
    };
    const auto addBelowHours = [&](qint64 a, qint64 b) {
        const qint64 m0 = ceilDiv(a, OverviewLevels[0]), m1 = floorDiv(b, OverviewLevels[0]);
        if (m0 >= m1)
            return addRecords(a, b) ? QString() : records.error();
        if (!addRecords(a, m0 * OverviewLevels[0]))
            return records.error();
        const QString error = addCells(0, m0, m1);
        if (!error.isEmpty() || !addRecords(m1 * OverviewLevels[0], b))
            return error.isEmpty() ? records.error() : error;
        return QString();
    };
    const qint64 h0 = ceilDiv(from, OverviewLevels[1]), h1 = floorDiv(to, OverviewLevels[1]);
    QString error;
    if (h0 >= h1) {
        error = addBelowHours(from, to);
    } else {
        error = addBelowHours(from, h0 * OverviewLevels[1]);
        if (error.isEmpty())
            error = addCells(1, h0, h1);
        if (error.isEmpty())
            error = addBelowHours(h1 * OverviewLevels[1], to);
    }
    if (!error.isEmpty() || cancelRequested())
        return fail(error);

    // The logging interval: the median step between all records of the window.
    StepCounts steps;
    std::optional<qint64> last;
    qint64 windowRecords = 0, firstRowid = -1, lastRowid = -1; // of the first and last record in time
    for (const WindowPart &part : parts) {
        const qint64 partRecords = part.level < 0 ? part.points.size() : part.cell.records;
        if (partRecords > 0) {
            if (firstRowid < 0)
                firstRowid = part.level < 0 ? part.points.constFirst().rowid : part.cell.first.rowid;
            lastRowid = part.level < 0 ? part.points.constLast().rowid : part.cell.last.rowid;
            windowRecords += partRecords;
        }
        if (part.level < 0) {
            for (const ExcursionPoint &p : part.points) {
                if (last)
                    steps.add(p.time - *last);
                last = p.time;
            }
        } else {
            if (last)
                steps.add(part.cell.first.time - *last);
            steps.add(part.cell.steps);
            last = part.cell.last.time;
        }
    }
    *gapSeconds = gapSecondsOf(steps.median());

    ExcursionFinder finder = finderFor(limits, *gapSeconds, excursions, periods);
    // Where most cells cross the limits, reading their minutes saves little:
    // the finder takes the records straight from the packed blocks, where
    // they lie there in time order, and the periods take the cells. Else the
    // walk starts again from the cells.
    const qint64 crossed = std::count_if(parts.cbegin(), parts.cend(), [&](const WindowPart &part) {
        return part.level >= 0 && !finder.takesWhole(part.cell);
    });
    const qint64 cells = std::count_if(parts.cbegin(), parts.cend(), [](const WindowPart &part) { return part.level >= 0; });
    if (firstRowid >= 0 && 2 * crossed > cells && stamps.rowidsPerBlock() > 0 && family.alarmsOf(column).isEmpty()) {
        const std::optional<PeriodTabulator> untouched = periods ? std::make_optional(*periods) : std::nullopt;
        if (periods)
            tabulateParts(parts, *periods);
        PackedBlockStream packed(recordDatabasePath(), table, column, stamps.rowidsPerBlock());
        const qint64 fed = packed.visitInTimeOrder(firstRowid, lastRowid, from, to,
                                                   [&](const PackedRecords &records, qint64 begin, qint64 end) {
                                                       finder.addPacked(records, begin, end);
                                                       return !cancelRequested();
                                                   });
        if (cancelRequested())
            return fail(QString());
        if (fed == windowRecords) {
            finish(finder);
            noteReadPath(QStringLiteral("window of %1 records from packed blocks, %2 of its %3 cells crossing the limits")
                             .arg(fed).arg(crossed).arg(cells),
                         false);
            return true;
        }
        noteReadPath(QStringLiteral("packed blocks tried: the window's records not all read from them in time order"), false);
        finder = finderFor(limits, *gapSeconds, excursions, periods);
        if (periods)
            *periods = *untouched;
    }
    qint64 wholeHours = 0, wholeMinutes = 0, readRecords = 0, readByRowid = 0;
    // The walk plans a day of parts (which cells stand for their records,
    // which records are read) while the day before is read ahead on the
    // second core, and then feeds that one to the finder.
    RecordPrefetch prefetch(recordDatabasePath(), family, column, stamps, stamps.rowidsPerBlock());
    if (!prefetch.openError().isEmpty())
        return fail(prefetch.openError());
    struct Step {
        enum Kind { Whole, Points, Read } kind;
        OverviewCell cell;
        QList<ExcursionPoint> points;
    };
    std::deque<Step> planned;
    // Records still to read, [pendingFrom, pendingTo): consecutive minutes read at
    // once; their count, and the least first and greatest last rowid of their minutes.
    qint64 pendingFrom = 0, pendingTo = 0, pendingRecords = 0, pendingFirstRowid = 0, pendingLastRowid = 0;
    const auto planRead = [&] {
        if (pendingFrom >= pendingTo)
            return;
        prefetch.request({pendingFrom, pendingTo, pendingRecords, pendingFirstRowid, pendingLastRowid});
        planned.push_back(Step{Step::Read, {}, {}});
        pendingFrom = pendingTo = pendingRecords = 0;
    };
    const auto pend = [&](qint64 span, const OverviewCell &minute) {
        if (pendingFrom < pendingTo && pendingRecords + minute.records > MostPendingRecords)
            planRead();
        if (pendingFrom >= pendingTo) {
            pendingFrom = span * OverviewLevels[0];
            pendingFirstRowid = minute.first.rowid;
            pendingLastRowid = minute.last.rowid;
        }
        pendingTo = (span + 1) * OverviewLevels[0];
        pendingRecords += minute.records;
        pendingFirstRowid = qMin(pendingFirstRowid, minute.first.rowid);
        pendingLastRowid = qMax(pendingLastRowid, minute.last.rowid);
    };
    const auto planWhole = [&](OverviewCell &&cell) {
        planRead();
        planned.push_back(Step{Step::Whole, std::move(cell), {}});
    };
    const auto feed = [&](Step &step) {
        if (step.kind == Step::Whole) {
            if (periods)
                periods->addWhole(step.cell);
            finder.addWhole(step.cell);
            return true;
        }
        bool byRowid = false;
        if (step.kind == Step::Read && !prefetch.take(&step.points, &byRowid, [this] { return cancelRequested(); }))
            return false;
        readRecords += step.points.size();
        readByRowid += byRowid ? step.points.size() : 0;
        for (const ExcursionPoint &p : std::as_const(step.points))
            feedPoint(finder, p);
        return true;
    };
    const auto feedFirst = [&](size_t count) {
        for (; count > 0; --count, planned.pop_front()) {
            if (!feed(planned.front()))
                return false;
        }
        return true;
    };
    // An hour's markers, read with those of the week that follows it where they are not read yet.
    const auto withMarkers = [&](size_t i) -> OverviewCell & {
        OverviewCell &cell = parts[i].cell;
        if (parts[i].level == 1 && cell.hh + cell.ll > 0 && cell.markers.empty()) {
            size_t at = i;
            error = cellReader.readMarks(1, parts[i].span, qMin(h1, parts[i].span + 168),
                                         [&](qint64 span, const char *data, int size) {
                                             while (at < parts.size() && (parts[at].level != 1 || parts[at].span < span))
                                                 ++at;
                                             if (at < parts.size() && parts[at].span == span)
                                                 parts[at].cell.unpackMarkers(data, size, span * OverviewLevels[1]);
                                         });
        }
        return cell;
    };
    size_t dayPlanned = 0, nextDay = 24;
    for (size_t i = 0; i < parts.size(); ++i) {
        WindowPart &part = parts[i];
        if (part.level < 0) {
            planRead();
            planned.push_back(Step{Step::Points, {}, std::move(part.points)});
        } else if (finder.takesWhole(part.cell)) {
            ++(part.level == 0 ? wholeMinutes : wholeHours);
            planWhole(std::move(withMarkers(i)));
        } else if (part.level == 0) {
            pend(part.span, part.cell);
        } else {
            // The minutes of this hour and of the next ones not taken whole either, a day at most, read at once.
            size_t last = i;
            while (last + 1 < parts.size() && last + 1 - i < 24 && parts[last + 1].level == 1
                   && !finder.takesWhole(parts[last + 1].cell))
                ++last;
            std::vector<std::pair<qint64, OverviewCell>> minutes;
            const qint64 perHour = OverviewLevels[1] / OverviewLevels[0];
            error = cellReader.read(0, part.span * perHour, (parts[last].span + 1) * perHour, &minutes);
            i = last;
            for (auto &[span, minute] : minutes) {
                if (!finder.takesWhole(minute)) {
                    pend(span, minute);
                } else {
                    ++wholeMinutes;
                    planWhole(std::move(minute));
                }
            }
        }
        bool fed = true;
        if (i + 1 >= nextDay) {
            planRead();
            fed = feedFirst(dayPlanned);
            dayPlanned = planned.size();
            nextDay = i + 1 + 24;
        }
        if (!fed || !error.isEmpty() || cancelRequested())
            return fail(error.isEmpty() ? prefetch.error() : error);
    }
    planRead();
    if (!feedFirst(planned.size()))
        return fail(prefetch.error());
    finish(finder);
    noteReadPath(QStringLiteral("window from %1 hours and %2 minutes whole and %3 records, %4 of them by rowid, "
                                "%5 from the file's pages, %6 from packed values")
                     .arg(wholeHours).arg(wholeMinutes).arg(readRecords).arg(readByRowid).arg(prefetch.readFromPages())
                     .arg(prefetch.readFromPacked()),
                 false);
    return true;
}
