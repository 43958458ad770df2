// The job that tabulates one value column over a window by periods.
#include "sqlthread.h"

#include "periods.h"
#include "wallclock.h"

void SQLThread::tabulateWindowPeriods(int familyNumber, QString column, QDateTime st, QDateTime en,
                                      ChannelLimits limits, PeriodLength length)
{
    PeriodTabulator periods(length, naiveSeconds(st), naiveSeconds(en));
    QList<Excursion> excursions;
    qint64 gapSeconds = 0;
    if (!walkWindow(familyNumber, column, st, en, limits, &excursions, &gapSeconds, &periods))
        return;
    g_periods = periods.finish(excursions);
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
