// The job that lists the record of imported files, with the stamps of each
// file's first and last record.
#include "sqlthread.h"

#include "families.h"
#include "recorddatabase.h"
#include "recordtime.h"
#include "settings.h"

#include <QSqlQuery>

void SQLThread::listImportedFiles()
{
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    QString error;
    const QList<ImportedFiles::Entry> entries = ImportedFiles::all(db, &error);
    if (!error.isEmpty())
        return finishJob(JobOutcome::Failed, error);
    QList<ImportedFiles::Listed> listed;
    {
    QSqlQuery stamp(db);
    const bool prepared = familyOfTableCode(Meter) != 0
        && stamp.prepare(QStringLiteral("select indate from main.%1 where rowid = ?").arg(meterFamily(familyOfTableCode(Meter)).table(Meter)));
    const auto stampAt = [&](qint64 rowid) {
        stamp.addBindValue(rowid);
        return prepared && stamp.exec() && stamp.next() ? parseRecordTime(stamp.value(0).toString()) : QDateTime();
    };
    for (const ImportedFiles::Entry &entry : entries) {
        const bool some = entry.lastRowid >= entry.firstRowid;
        listed << ImportedFiles::Listed{entry, some ? stampAt(entry.firstRowid) : QDateTime(),
                                        some ? stampAt(entry.lastRowid) : QDateTime()};
    }
    }
    lastFiles = listed;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
