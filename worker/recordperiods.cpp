// The job that tabulates one value column over a window by periods.
#include "sqlthread.h"

#include "periods.h"
#include "wallclock.h"

void SQLThread::tabulateWindowPeriods(int familyNumber, QString column, QDateTime st, QDateTime en,
                                      ChannelLimits limits, PeriodLength length)
{
    PeriodTabulator periods(length, naiveSeconds(st), naiveSeconds(en));
    qint64 gapSeconds = 0;
    if (!walkWindow(familyNumber, column, st, en, limits, nullptr, &gapSeconds, &periods))
        return;
    g_periods = periods.finish();
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
