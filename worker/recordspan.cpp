// The job that reads the span of the records stored, for a page's first window.
#include "sqlthread.h"

#include "families.h"
#include "recorddatabase.h"
#include "settings.h"

void SQLThread::readRecordSpan(int familyNumber)
{
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const QString table = meterFamily(familyNumber).table(Meter);
    // While the index is built the first and last record stored stand for
    // the span: reading it without the index would take as long as the build.
    RecordSpan span;
    if (!timeIndexBuilding()) {
        ensureTimeIndex(table);
        span = readableSpan(table);
    } else {
        span = storedSpan(table);
    }
    if (cancelRequested())
        return finishCancelled();
    g_recordSpan = span;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
