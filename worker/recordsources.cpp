// The job that tells which imported files the records of a window came from,
// and digests those records as they are stored.
#include "sqlthread.h"

#include "families.h"
#include "recorddatabase.h"
#include "recordsources.h"
#include "settings.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

RecordSources g_recordSources;

void addRecordToDigest(QCryptographicHash &digest, const QList<QByteArray> &fields)
{
    for (const QByteArray &field : fields) {
        digest.addData(field);
        digest.addData(QByteArrayView("\x1f", 1));
    }
    digest.addData(QByteArrayView("\x1e", 1));
}

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
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("select rowid, * from main.%1 where datetime(indate) between :indate1 and :indate2 "
                                 "order by rowid").arg(table));
    bindWindow(query, st, en);
    if (!query.exec())
        return finishJob(JobOutcome::Failed, query.lastError().text());
    RecordSources sources;
    QList<qint64> inWindow(entries.size());
    QCryptographicHash digest(QCryptographicHash::Sha256);
    const int fieldCount = query.record().count() - 1;
    QList<QByteArray> fields(fieldCount);
    for (qint64 read = 0; query.next(); ++read) {
        if (read % 65536 == 0 && cancelRequested())
            return finishCancelled();
        const qint64 rowid = query.value(0).toLongLong();
        for (int i = 0; i < fieldCount; ++i)
            fields[i] = query.value(i + 1).toString().toUtf8();
        addRecordToDigest(digest, fields);
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
    sources.sha256 = digest.result().toHex();
    g_recordSources = sources;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
