// The job that finds where a time leads among the records of a search: the
// first one stamped at or after it, or the last one at or before it.
#include "sqlthread.h"

#include "families.h"
#include "recorddatabase.h"
#include "recordtime.h"
#include "settings.h"
#include "windowsummary.h"

#include <QSqlQuery>

void SQLThread::findRecordAt(int familyNumber, TableSearch search, bool chart, QDateTime at, bool backwards)
{
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const MeterFamily &family = meterFamily(familyNumber);
    ensureTimeIndex(family.table(Meter));
    RecordAtTime found;
    {
        QSqlQuery query(db);
        if (!query.prepare(recordAtStatement(family, Meter, search, chart, backwards)))
            return failQuery("find a time", query);
        bindWindow(query, search.st, search.en);
        query.bindValue(QStringLiteral(":at"), recordTimeText(at));
        if (!query.exec())
            return failQuery("find a time", query);
        if (query.next()) {
            found.rowid = query.value(0).toLongLong();
            found.time = recordWallClock(query.value(1).toString());
        }
    }
    g_recordAtTime = found;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
