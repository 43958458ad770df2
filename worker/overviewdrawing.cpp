// The job that reads the overview of a window: the columns of its pixel
// columns, from the minutes and hours kept with the records.
#include "sqlthread.h"

#include "families.h"
#include "recorddatabase.h"
#include "recordoverview.h"
#include "settings.h"
#include "wallclock.h"

void SQLThread::drawOverview(int familyNumber, QStringList columns, QDateTime st, QDateTime en, int width)
{
    startReadPaths();
    if (!waitForOverviewBuild())
        return finishCancelled();
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const MeterFamily &family = meterFamily(familyNumber);
    const QString table = family.table(Meter);
    // A database without one (an earlier version's, a build that was stopped) gets it now.
    if (!RecordOverview::current(db, table)) {
        emit PostProgress(tr("Summing up the records..."), 30);
        noteReadPath(QStringLiteral("overview built"), false);
        const QString error = RecordOverview::build(db, family, Meter, [this] { return cancelRequested(); });
        if (cancelRequested())
            return finishCancelled();
        if (!error.isEmpty())
            return finishJob(JobOutcome::Failed, tr("The search failed: %1").arg(error));
    }
    Overview overview;
    overview.plan = planOverview(naiveSeconds(st), naiveSeconds(en), width);
    overview.columns = columns;
    for (const QString &column : std::as_const(columns)) {
        QVector<OverviewCell> cells;
        const QString error = RecordOverview::read(db, table, column, overview.plan, &cells);
        if (cancelRequested())
            return finishCancelled();
        if (!error.isEmpty())
            return finishJob(JobOutcome::Failed, tr("The search failed: %1").arg(error));
        overview.cells << cells;
    }
    noteReadPath(QStringLiteral("overview of %1 columns from %2").arg(overview.plan.columns)
                     .arg(overview.plan.level < 0 ? QStringLiteral("the records")
                                                  : QStringLiteral("spans of %1 s").arg(OverviewLevels[overview.plan.level])),
                 false);
    lastOverview = overview;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
