// The job that measures one value column between two cursors.
#include "sqlthread.h"

#include "periods.h"
#include "wallclock.h"

void SQLThread::measureSpan(int familyNumber, QString column, QDateTime st, QDateTime en, ChannelLimits limits)
{
    PeriodTabulator span = PeriodTabulator::span(naiveSeconds(st), naiveSeconds(en));
    qint64 gapSeconds = 0;
    if (!walkWindow(familyNumber, column, st, en, limits, nullptr, &gapSeconds, &span))
        return;
    g_spanFigures = span.finish().first();
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
