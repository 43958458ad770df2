// The job that tells which imported files the records of a window came from,
// and digests those records as they are stored.
#include "sqlthread.h"

#include "families.h"
#include "recorddatabase.h"
#include "recordsources.h"
#include "settings.h"
#include "sha256.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

RecordSources g_recordSources;

void SQLThread::readRecordSources(int familyNumber, QDateTime st, QDateTime en)
{
    openConnection(recordDatabasePath());
    emit PostProgress(tr("Reading the sources..."), 25);
    QString error;
    const QList<ImportedFiles::Entry> entries = ImportedFiles::all(db, &error);
    if (!error.isEmpty())
        return finishJob(JobOutcome::Failed, error);
    const QString table = meterFamily(familyNumber).table(Meter);
    ensureTimeIndex(table);
    // Each record as one text, made by SQLite: every field as SQLite reads
    // it as text (none: empty), a unit separator after each, a record separator after the last.
    QStringList fields;
    for (const QString &name : columnNames(db, table))
        fields << QStringLiteral("ifnull(cast(\"%1\" as text), '') || x'1f'").arg(name);
    if (fields.isEmpty())
        return finishJob(JobOutcome::Failed, tr("The columns of %1 could not be read.").arg(table));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("select rowid, %1 || x'1e' from main.%2 where datetime(indate) between :indate1 and "
                                 ":indate2 order by rowid").arg(fields.join(QStringLiteral(" || ")), table));
    bindWindow(query, st, en);
    if (!query.exec())
        return finishJob(JobOutcome::Failed, query.lastError().text());
    RecordSources sources;
    QList<qint64> inWindow(entries.size());
    Sha256 digest;
    for (qint64 read = 0; query.next(); ++read) {
        if (read % 65536 == 0 && cancelRequested())
            return finishCancelled();
        const qint64 rowid = query.value(0).toLongLong();
        digest.addData(query.value(1).toByteArray());
        ++sources.records;
        // The file whose rowids hold this record: the last to start at or before it.
        const auto after = std::upper_bound(entries.cbegin(), entries.cend(), rowid,
                                            [](qint64 id, const ImportedFiles::Entry &e) { return id < e.firstRowid; });
        if (after != entries.cbegin() && rowid <= (after - 1)->lastRowid)
            ++inWindow[after - 1 - entries.cbegin()];
    }
    if (query.lastError().isValid())
        return finishJob(JobOutcome::Failed, query.lastError().text());
    for (int i = 0; i < entries.size(); ++i) {
        if (inWindow.at(i) > 0)
            sources.files << RecordSources::File{entries.at(i), inWindow.at(i)};
    }
    sources.sha256 = digest.hex();
    g_recordSources = sources;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
