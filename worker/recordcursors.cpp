// The job that measures one value column between two cursors.
#include "sqlthread.h"

#include "periods.h"
#include "wallclock.h"

void SQLThread::measureSpan(int familyNumber, QString column, QDateTime st, QDateTime en, ChannelLimits limits)
{
    PeriodTabulator span = PeriodTabulator::span(naiveSeconds(st), naiveSeconds(en));
    QList<Excursion> excursions;
    qint64 gapSeconds = 0;
    if (!walkWindow(familyNumber, column, st, en, limits, &excursions, &gapSeconds, &span))
        return;
    g_spanFigures = span.finish(excursions).first();
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
