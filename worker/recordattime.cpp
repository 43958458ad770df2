// The job that finds where a time leads among the records of a search: the
// first one stamped at or after it, or the last one at or before it.
#include "sqlthread.h"

#include "families.h"
#include "recorddatabase.h"
#include "recordtime.h"
#include "settings.h"
#include "stampblocks.h"
#include "wallclock.h"
#include "windowsummary.h"

#include <QSqlQuery>
#include <algorithm>

void SQLThread::findRecordAt(int familyNumber, TableSearch search, bool chart, QDateTime at, bool backwards)
{
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const MeterFamily &family = meterFamily(familyNumber);
    if (pageAccess() == PageAccess::Chosen && !waitForSumsBuild())
        return finishCancelled();
    const StampBlocks stamps = pageAccess() == PageAccess::Chosen ? StampBlocks::load(db, family, Meter) : StampBlocks();
    if (stamps.whole())
        ensureTimeIndex(family.table(Meter));
    QSqlQuery query(db);
    if (!query.prepare(recordAtStatement(family, Meter, search, chart, backwards, !stamps.whole())))
        return failQuery("find a time", query);
    // The stretch between the time and the window's end, a second wider
    // either side than the texts compared: the ranges hold every record of it.
    const qint64 atSeconds = naiveSeconds(at);
    const qint64 from = backwards ? naiveSeconds(search.st) : std::max(naiveSeconds(search.st), atSeconds);
    const qint64 to = backwards ? std::min(naiveSeconds(search.en), atSeconds) : naiveSeconds(search.en);
    QVector<StampBlocks::Rowids> ranges = stamps.ranges(from - 1, to + 1);
    if (backwards)
        std::reverse(ranges.begin(), ranges.end());
    RecordAtTime found;
    // Ranges come in time order: the first that holds a record holds the one sought.
    for (const StampBlocks::Rowids &range : std::as_const(ranges)) {
        bindWindow(query, search.st, search.en);
        query.bindValue(QStringLiteral(":at"), recordTimeText(at));
        if (!stamps.whole()) {
            query.bindValue(QStringLiteral(":rowfrom"), range.first);
            query.bindValue(QStringLiteral(":rowto"), range.last);
        }
        if (!query.exec())
            return failQuery("find a time", query);
        if (query.next()) {
            found.rowid = query.value(0).toLongLong();
            found.time = recordWallClock(query.value(1).toString());
            break;
        }
        if (cancelRequested())
            return finishCancelled();
    }
    g_recordAtTime = found;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
