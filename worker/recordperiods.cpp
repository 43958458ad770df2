// The job that tabulates one value column over a window by periods.
#include "sqlthread.h"

#include "periods.h"
#include "wallclock.h"

void SQLThread::tabulateWindowPeriods(int familyNumber, QString column, QDateTime st, QDateTime en,
                                      ChannelLimits limits, PeriodLength length)
{
    QList<ExcursionPoint> points;
    if (!readWindowPoints(familyNumber, column, st, en, &points))
        return;
    const QList<Excursion> excursions = findExcursions(points, limits, gapSecondsOf(points));
    g_periods = periodFigures(points, excursions, length, naiveSeconds(st), naiveSeconds(en));
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
