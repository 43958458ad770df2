// The addition job: record files added to the records there, in place.
#include "sqlthread.h"

#include "families.h"
#include "importedfiles.h"
#include "recorddatabase.h"
#include "recordoverview.h"
#include "recordsums.h"
#include "rowinserter.h"
#include "settings.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

void SQLThread::dn_addCSV(QStringList files)
{
    lastReport = {};
    const ModelChoice model = chosenModel(files);
    if (model.family == 0)
        return;
    // Nothing imported yet: an addition is an import, as fast as one.
    if (familyOfTableCode(Meter) == 0)
        return importModel(model, files);
    const QString table = meterFamily(model.family).table(model.tableCode);
    const QString imported = meterFamily(familyOfTableCode(Meter)).table(Meter);
    if (table != imported) {
        const QString text = tr("These record files are of another instrument (model code %1) than the records "
                                "imported. Nothing was added.")
                                 .arg(model.code);
        return finishJob(JobOutcome::Failed, text);
    }
    addRecords(model, files);
}

// The records are written into record.db itself, in one transaction: a
// failure or a cancel rolls back the records, the sums, the time index and
// the record of imported files together, and no copy of the whole database
// is made.
void SQLThread::addRecords(const ModelChoice &model, const QStringList &files)
{
    const MeterFamily &family = meterFamily(model.family);
    const QString table = family.table(model.tableCode);
    const QString nothingChosen = tr("No records could be read from the chosen files.");
    if (files.isEmpty())
        return failImport(nothingChosen, nothingChosen);
    openConnection(recordDatabasePath());
    QString failure = db.transaction() ? ImportedFiles::ensureTable(db) : db.lastError().text();
    if (!failure.isEmpty())
        return failImport(tr("Import failed: %1").arg(failure), tr("Import failed: %1").arg(failure));
    // Without the worker's own functions the sums cannot be summed up again.
    const bool sumsKept = recordFunctionsUsable() && RecordSums::current(db, family, model.tableCode);
    const bool overviewKept = RecordOverview::current(db, table);
    // Kept tables that make no sense of the records could seem to again
    // once records are added: they go, and are built anew after the addition.
    for (const auto &[kept, state] : {std::pair(sumsKept, "record_sums_state"), std::pair(overviewKept, "record_overview_state")}) {
        if (!kept)
            QSqlQuery(db).exec(QStringLiteral("delete from %1 where tbl = '%2'").arg(QLatin1String(state), table));
    }
    std::unique_ptr<RowInserter> inserter = makeRowInserter(db);
    inserter->prepare(insertStatement(model.tableCode));
    const int fieldCount = recordFieldCount(model.tableCode);
    const bool traceEachField = parserTraits(model.family).traceEachField;

    ImportReport report;
    QList<RecordSums::RowidRange> changed;
    QList<QPair<qint64, qint64>> changedTimes; // naive seconds, of records removed or added
    const auto noteTimes = [&](const RecordSums::RowidRange &rows) {
        qint64 from = 0, to = 0;
        if (overviewKept && RecordOverview::stampSpan(db, table, rows.first, rows.last, &from, &to))
            changedTimes << qMakePair(from, to);
    };
    QSqlQuery remove(db), savepoint(db);
    remove.prepare(QStringLiteral("delete from main.%1 where rowid between ? and ?").arg(table));
    for (int k = 0; k < files.size() && failure.isEmpty() && !cancelRequested(); ++k) {
        // A file that fails part-way goes back to this point: its day stays as it was.
        const qsizetype changedBefore = changed.size(), timesBefore = changedTimes.size();
        if (!savepoint.exec(QStringLiteral("savepoint file"))) {
            failure = tr("Import failed: %1").arg(savepoint.lastError().text());
            break;
        }
        FileReport file;
        file.path = files.at(k);
        if (const auto entry = ImportedFiles::find(db, file.name())) {
            file.size = QFileInfo(file.path).size();
            if (file.size == entry->size && ImportedFiles::hashOf(file.path) == entry->hash) {
                file.outcome = FileReport::AlreadyThere;
                file.hash = entry->hash;
                file.records = entry->records;
                file.lines.read = entry->linesRead;
                report.files << file;
                continue;
            }
            // The same day copied again with other content: its records go.
            file.outcome = FileReport::Replaced;
            noteTimes({entry->firstRowid, entry->lastRowid});
            remove.addBindValue(entry->firstRowid);
            remove.addBindValue(entry->lastRowid);
            if (!remove.exec()) {
                failure = tr("Import failed: %1").arg(remove.lastError().text());
                break;
            }
            changed << RecordSums::RowidRange{entry->firstRowid, entry->lastRowid};
        }
        qint64 firstRowid = 0;
        failure = storeRecordFile(*inserter, table, fieldCount, traceEachField, file, &firstRowid);
        if (file.outcome == FileReport::NotRead) {
            failure.clear();
            changed.resize(changedBefore);
            changedTimes.resize(timesBefore);
            file.records = 0;
            file.lines = {};
            if (!savepoint.exec(QStringLiteral("rollback to file")))
                failure = tr("Import failed: %1").arg(savepoint.lastError().text());
        } else {
            changed << RecordSums::RowidRange{firstRowid, firstRowid + file.records - 1};
            noteTimes(changed.last());
        }
        savepoint.exec(QStringLiteral("release file"));
        report.files << file;
        emit PostProgress(tr("Import file :%1").arg(file.path), 2 + 88 * (k + 1) / int(files.size()));
    }
    inserter.reset();
    remove.finish();
    savepoint.finish();
    int summed = 0;
    if (failure.isEmpty() && !cancelRequested() && sumsKept)
        failure = RecordSums::update(db, family, model.tableCode, changed, &summed);
    qint64 minutes = 0;
    for (const auto &[from, to] : std::as_const(changedTimes)) {
        if (failure.isEmpty() && !cancelRequested())
            failure = RecordOverview::update(db, family, model.tableCode, from, to, &minutes);
    }
    if (failure.isEmpty() && cancelRequested())
        return failImport(failure, failure);
    if (failure.isEmpty() && !db.commit())
        failure = tr("Import failed: %1").arg(db.lastError().text());
    if (!failure.isEmpty())
        return failImport(failure, failure);
    // Committed: the addition is done, whatever a cancel that comes now asks.
    closeConnection();
    startReadPaths();
    if (sumsKept)
        noteReadPath(QStringLiteral("sums of %1 blocks brought up to date").arg(summed));
    if (overviewKept)
        noteReadPath(QStringLiteral("overview of %1 minutes brought up to date").arg(minutes));
    lastReport = report;
    finishImport(family, model.tableCode, report.headline());
}
