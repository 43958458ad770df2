// The job that measures one value column between two cursors.
#include "sqlthread.h"

#include "periods.h"
#include "wallclock.h"

void SQLThread::measureSpan(int familyNumber, QString column, QDateTime st, QDateTime en, ChannelLimits limits)
{
    QList<ExcursionPoint> points;
    if (!readWindowPoints(familyNumber, column, st, en, &points))
        return;
    const QList<Excursion> excursions = findExcursions(points, limits, gapSecondsOf(points));
    g_spanFigures = spanFigures(points, excursions, naiveSeconds(st), naiveSeconds(en));
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
