// The job that takes out the records of one imported file.
#include "sqlthread.h"

#include "families.h"
#include "importedfiles.h"
#include "recorddatabase.h"
#include "recordoverview.h"
#include "recordsums.h"
#include "settings.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <set>

// In one transaction, as an addition: a failure or a cancel leaves
// record.db as it was.
void SQLThread::removeImportedFile(QString name)
{
    if (familyOfTableCode(Meter) == 0)
        return finishJob(JobOutcome::Failed, tr("No records are imported."));
    const MeterFamily &family = meterFamily(familyOfTableCode(Meter));
    const QString table = family.table(Meter);
    openConnection(recordDatabasePath());
    emit PostProgress(tr("Removing %1...").arg(name), 10);
    QString failure;
    const auto fail = [&](const QString &reason) {
        db.rollback();
        if (cancelRequested())
            return finishCancelled();
        finishJob(JobOutcome::Failed, tr("%1 could not be removed: %2").arg(name, reason));
    };
    if (!db.transaction())
        return fail(db.lastError().text());
    // A table of an earlier version gets the columns the entries are read with.
    failure = ImportedFiles::ensureTable(db);
    if (!failure.isEmpty())
        return fail(failure);
    const std::optional<ImportedFiles::Entry> entry = ImportedFiles::find(db, name);
    if (!entry)
        return fail(tr("it is not among the imported files"));
    const bool sumsKept = recordFunctionsUsable() && RecordSums::current(db, family, Meter);
    const bool overviewKept = RecordOverview::current(db, table);
    // Kept tables that make no sense of the records could seem to once these
    // are gone: they go, and are built anew by the next search.
    for (const auto &[kept, state] : {std::pair(sumsKept, "record_sums_state"), std::pair(overviewKept, "record_overview_state")}) {
        if (!kept)
            QSqlQuery(db).exec(QStringLiteral("delete from %1 where tbl = '%2'").arg(QLatin1String(state), table));
    }
    std::set<qint64> minutes; // of the records taken out
    if (overviewKept)
        RecordOverview::noteMinutes(db, table, entry->firstRowid, entry->lastRowid, &minutes);
    for (const auto &[statement, values] :
         {std::pair(QStringLiteral("delete from main.%1 where rowid between ? and ?").arg(table),
                    QVariantList{entry->firstRowid, entry->lastRowid}),
          std::pair(QStringLiteral("delete from imported_files where name = ?"), QVariantList{entry->name})}) {
        QSqlQuery query(db);
        query.prepare(statement);
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (!query.exec())
            return fail(query.lastError().text());
    }
    emit PostProgress(tr("Removing %1...").arg(name), 50);
    int blocks = 0;
    if (!cancelRequested() && sumsKept)
        failure = RecordSums::update(db, family, Meter, {{entry->firstRowid, entry->lastRowid}}, &blocks);
    qint64 summedMinutes = 0;
    if (failure.isEmpty() && !cancelRequested() && overviewKept)
        failure = RecordOverview::update(db, family, Meter, minutes, &summedMinutes);
    if (!failure.isEmpty() || cancelRequested())
        return fail(failure);
    if (!db.commit())
        return fail(db.lastError().text());
    startReadPaths(true);
    if (sumsKept)
        noteReadPath(QStringLiteral("sums of %1 blocks brought up to date").arg(blocks));
    if (overviewKept)
        noteReadPath(QStringLiteral("overview of %1 minutes brought up to date").arg(summedMinutes));
    finishJob(JobOutcome::Done, QString(),
              tr("%1 removed with its %2 records.").arg(entry->name, QLocale::c().toString(entry->records)));
}
