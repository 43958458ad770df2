// The job that reads the overview of a window: the columns of its pixel
// columns, from the minutes and hours kept with the records.
#include "sqlthread.h"

#include "families.h"
#include "otheroverview.h"
#include "recorddatabase.h"
#include "overviewreading.h"
#include "recordoverview.h"
#include "settings.h"
#include "wallclock.h"

void SQLThread::drawOverview(int familyNumber, QStringList columns, QDateTime st, QDateTime en, int width,
                             QList<OtherColumn> others)
{
    startReadPaths();
    const MeterFamily &family = meterFamily(familyNumber);
    if (!overviewReady(family))
        return;
    const QString table = family.table(Meter);
    Overview overview;
    overview.plan = planOverview(naiveSeconds(st), naiveSeconds(en), width);
    overview.columns = columns;
    const StampBlocks stamps = StampBlocks::loadBesideOverview(db, family, Meter);
    RecordOverview::StretchReads stretches;
    for (const QString &column : std::as_const(columns)) {
        QVector<OverviewCell> cells;
        const QString error = RecordOverview::read(db, table, column, stamps, overview.plan, &cells, &stretches);
        if (cancelRequested())
            return finishCancelled();
        if (!error.isEmpty())
            return finishJob(JobOutcome::Failed, tr("The search failed: %1").arg(error));
        overview.cells << cells;
    }
    noteReadPath(QStringLiteral("overview of %1 columns from %2; records of %3 minutes between their cells' rowids, "
                                "of %4 stretches in the blocks of their stamps")
                     .arg(overview.plan.columns)
                     .arg(overview.plan.level < 0 ? QStringLiteral("the records")
                                                  : QStringLiteral("spans of %1 s").arg(OverviewLevels[overview.plan.level]))
                     .arg(stretches.byCells)
                     .arg(stretches.byBlocks),
                 false);
    lastOverview = overview;
    lastOthers.clear();
    for (const OtherColumn &other : std::as_const(others)) {
        OtherOverview read;
        read.error = readOtherOverview(other, overview.plan, &read.cells, &read.path);
        lastOthers << read;
        if (cancelRequested())
            return finishCancelled();
    }
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
