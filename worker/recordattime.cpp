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
    startReadPaths();
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
    // The stretch between the time and the window's end: the groups hold every record of it.
    const qint64 atSeconds = naiveSeconds(at);
    const qint64 from = backwards ? naiveSeconds(search.st) : std::max(naiveSeconds(search.st), atSeconds);
    const qint64 to = backwards ? std::min(naiveSeconds(search.en), atSeconds) : naiveSeconds(search.en);
    QVector<StampBlocks::Group> groups = stamps.groups(from, to);
    if (backwards)
        std::reverse(groups.begin(), groups.end());
    RecordAtTime found;
    QString foundStamp;
    int groupsRead = 0;
    // Groups come in time order: the first that holds a record holds the one
    // sought, which is the first (or last) of its runs' own.
    for (const StampBlocks::Group &group : std::as_const(groups)) {
        ++groupsRead;
        for (const StampBlocks::Rowids &run : group) {
            bindWindow(query, search.st, search.en);
            query.bindValue(QStringLiteral(":at"), recordTimeText(at));
            if (!stamps.whole()) {
                query.bindValue(QStringLiteral(":rowfrom"), run.first);
                query.bindValue(QStringLiteral(":rowto"), run.last);
            }
            if (!query.exec())
                return failQuery("find a time", query);
            if (!query.next())
                continue;
            const qint64 rowid = query.value(0).toLongLong();
            const QString stamp = stamps.whole() ? QString() : query.value(2).toString();
            const bool sooner = found.rowid < 0 || (stamp != foundStamp ? (stamp < foundStamp) != backwards
                                                                        : (rowid < found.rowid) != backwards);
            if (sooner) {
                found.rowid = rowid;
                found.time = recordWallClock(query.value(1).toString());
                foundStamp = stamp;
            }
        }
        if (found.rowid >= 0)
            break;
        if (cancelRequested())
            return finishCancelled();
    }
    noteReadPath(stamps.whole() ? QStringLiteral("time through the index")
                                : QStringLiteral("time from %1 of %2 groups of blocks").arg(groupsRead).arg(groups.size()),
                 false);
    g_recordAtTime = found;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
