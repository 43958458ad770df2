// The job that finds the place of a record among the matches of a search,
// for the summary's links.
#include "sqlthread.h"

#include "families.h"
#include "recorddatabase.h"
#include "settings.h"
#include "statements.h"

#include <QSqlQuery>

void SQLThread::locateRecord(int familyNumber, TableSearch search, bool chart, qint64 rowid)
{
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const MeterFamily &family = meterFamily(familyNumber);
    // The records of the blocks before the record's own are counted already.
    qint64 before = 0, fromRow = 0;
    QVector<SearchedBlock> blocks;
    if (pageAccess() == PageAccess::Chosen) {
        if (!searchBlocks(describeSearch(family, Meter, search, chart), blocks, false))
            return;
        for (const SearchedBlock &block : std::as_const(blocks)) {
            if (block.toRow > rowid)
                break;
            before += block.matching;
            fromRow = block.toRow;
        }
    }
    {
        QSqlQuery query(db);
        if (!query.prepare(positionStatement(family, Meter, search, chart)))
            return failQuery("locate", query);
        bindWindow(query, search.st, search.en);
        query.bindValue(QStringLiteral(":row"), rowid);
        query.bindValue(QStringLiteral(":rowfrom"), fromRow);
        if (!query.exec() || !query.next())
            return failQuery("locate", query);
        g_recordPosition = before + query.value(0).toLongLong();
    }
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
