// The job that reads the span of the records stored, for a page's first window.
#include "sqlthread.h"

#include "families.h"
#include "recorddatabase.h"
#include "recordtime.h"
#include "settings.h"
#include "stampblocks.h"

#include <QSqlQuery>

void SQLThread::readRecordSpan(int familyNumber)
{
    startReadPaths();
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const MeterFamily &family = meterFamily(familyNumber);
    const QString table = family.table(Meter);
    const bool statementsAlone = pageAccess() != PageAccess::Chosen;
    // While the sums are built, or where there are none, the first and last
    // record stored stand for the span: reading it without them would take
    // as long as a build.
    const StampBlocks stamps = !statementsAlone && !sumsBuilding() ? StampBlocks::load(db, family, Meter) : StampBlocks();
    RecordSpan span;
    if (statementsAlone) {
        ensureTimeIndex(table);
        span = readableSpan(table, StampBlocks());
        noteReadPath(QStringLiteral("span through the index"), false);
    } else if (!stamps.whole()) {
        span = readableSpan(table, stamps);
        noteReadPath(QStringLiteral("span from the blocks' stamps"), false);
    } else {
        span = storedSpan(table);
        noteReadPath(QStringLiteral("span of the first and last stored"), false);
    }
    if (cancelRequested())
        return finishCancelled();
    g_recordSpan = span;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}

RecordSpan SQLThread::storedSpan(const QString &table)
{
    QSqlQuery query(db);
    const auto timeAt = [&](const char *order) {
        const bool read = query.exec(QStringLiteral("select indate from main.%1 order by rowid %2 limit 1")
                                         .arg(table, QLatin1String(order)))
            && query.next();
        return read ? parseRecordTime(query.value(0).toString()) : QDateTime();
    };
    return {timeAt("asc"), timeAt("desc")};
}

RecordSpan SQLThread::readableSpan(const QString &table, const StampBlocks &stamps)
{
    return {parseRecordTime(stamps.firstReadable(db, table)), parseRecordTime(stamps.lastReadable(db, table))};
}
