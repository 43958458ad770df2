// The addition job: record files added to the records there, in place.
#include "sqlthread.h"

#include "families.h"
#include "freedmemory.h"
#include "importedfiles.h"
#include "recorddatabase.h"
#include "recordoverview.h"
#include "recordsums.h"
#include "stampblocks.h"
#include "tablecount.h"
#include "rowinserter.h"
#include "settings.h"

#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <set>

namespace {

// How many of the first `count` records from rowid `from` equal, field by
// field, those from rowid `to`: -1 when that could not be read.
qint64 equalRecords(QSqlDatabase &db, const QString &table, qint64 from, qint64 to, qint64 count)
{
    QStringList same;
    for (const QString &name : columnNames(db, table))
        same << QStringLiteral("a.%1 is b.%1").arg(name);
    if (same.isEmpty())
        return -1;
    QSqlQuery equal(db);
    equal.prepare(QStringLiteral("select count(*) from main.%1 a join main.%1 b on b.rowid = a.rowid + ? "
                                 "where a.rowid between ? and ? and %2")
                      .arg(table, same.join(QStringLiteral(" and "))));
    for (const qint64 value : {to - from, from, from + count - 1})
        equal.addBindValue(value);
    return equal.exec() && equal.next() ? equal.value(0).toLongLong() : -1;
}

} // namespace

void SQLThread::dn_addCSV(QStringList files)
{
    lastReport = {};
    const ModelChoice model = chosenModel(files);
    if (model.family == 0)
        return;
    // Nothing imported yet: an addition is an import, as fast as one. Where
    // the settings lost the instrument, the records there tell it: an import
    // would replace them by those of the added files alone.
    if (familyOfTableCode(Meter) == 0) {
        QString unreadable;
        const int stored = tableCodeWithRecords(recordDatabasePath(), &unreadable);
        if (!unreadable.isEmpty())
            return finishJob(JobOutcome::Failed, tr("The records imported before could not be read (%1). Nothing was added.")
                                                     .arg(unreadable));
        if (stored == 0)
            return importModel(model, files);
        Meter = stored;
        writeSetting(QStringLiteral("Meter"), QString::number(stored));
    }
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

void SQLThread::allowReplacing(const QStringList &paths)
{
    replacingAllowed = paths;
}

// What becomes of a file just stored (from rowid `firstRowid`) whose name
// may be imported already: its content decides.
FileReport::Outcome SQLThread::additionOutcome(const std::optional<ImportedFiles::Entry> &entry,
                                                const FileReport &file, const QString &table, qint64 firstRowid)
{
    if (file.records == 0)
        return FileReport::NoRecord;
    if (!entry)
        return FileReport::Added;
    const qint64 common = qMin(entry->records, file.records);
    const qint64 equal = equalRecords(db, table, firstRowid, entry->firstRowid, common);
    // A day copied again later holds the records stored, and more.
    if (equal == entry->records && file.records >= entry->records)
        return FileReport::Replaced;
    // An older copy holds the beginning of what is stored.
    if (equal == file.records)
        return FileReport::OlderCopy;
    // Any other change replaces records only with the user's yes.
    return replacingAllowed.contains(file.path) ? FileReport::Replaced : FileReport::Unconfirmed;
}

// The records are written into record.db itself, in one transaction: a
// failure or a cancel rolls back the records, the sums, the overview and
// the record of imported files together, and no copy of the whole database
// is made. Each file is stored under a savepoint, so that one whose records
// are not to be kept leaves nothing behind.
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
    const QDateTime lastBefore =
        readableSpan(table, sumsKept ? StampBlocks::ofCheckedSums(db, family, model.tableCode) : StampBlocks()).last;
    // Kept after the commit, so that the next question needs no count(*).
    const qint64 recordsBefore = countedRecords(db, table);
    qint64 recordsAfter = recordsBefore;
    std::unique_ptr<RowInserter> inserter = makeRowInserter(db);
    inserter->prepare(insertStatement(model.tableCode));
    const int fieldCount = recordFieldCount(model.tableCode);
    const bool traceEachField = parserTraits(model.family).traceEachField;

    ImportReport report;
    QList<RecordSums::RowidRange> changed;
    std::set<qint64> minutes; // of records removed or added
    const auto noteRows = [&](qint64 first, qint64 last) {
        changed << RecordSums::RowidRange{first, last};
        if (overviewKept)
            RecordOverview::noteMinutes(db, table, first, last, &minutes);
    };
    QSqlQuery step(db);
    const auto run = [&](const QString &statement) {
        if (!step.exec(statement))
            failure = tr("Import failed: %1").arg(step.lastError().text());
        return failure.isEmpty();
    };
    QSqlQuery remove(db);
    remove.prepare(QStringLiteral("delete from main.%1 where rowid between ? and ?").arg(table));
    QHash<QString, QPair<qint64, QByteArray>> named; // the files of this addition, by name in any case
    for (int k = 0; k < files.size() && failure.isEmpty() && !cancelRequested(); ++k) {
        FileReport file;
        file.path = files.at(k);
        file.size = QFileInfo(file.path).size();
        const QByteArray hash = ImportedFiles::hashOf(file.path);
        // Two files of one name in one addition are one file if equal; else the later is refused.
        const QString key = file.name().toLower();
        if (named.contains(key) && named.value(key) != qMakePair(file.size, hash)) {
            file.outcome = FileReport::NotRead;
            file.reason = tr("another file named %1 in this addition holds other content").arg(file.name());
            report.files << file;
            continue;
        }
        named.insert(key, qMakePair(file.size, hash));
        const auto entry = ImportedFiles::find(db, file.name());
        // The same content is there already, under this name or another.
        const auto same = entry && file.size == entry->size && hash == entry->hash
            ? entry
            : (entry ? std::nullopt : ImportedFiles::findContent(db, file.size, hash));
        if (same) {
            file.outcome = FileReport::AlreadyThere;
            file.reason = same->name == file.name() ? QString() : same->name;
            file.hash = same->hash;
            file.records = same->records;
            file.lines.read = same->linesRead;
            report.files << file;
            continue;
        }
        qint64 firstRowid = 0;
        if (!run(QStringLiteral("savepoint addition")))
            break;
        failure = storeRecordFile(*inserter, table, fieldCount, traceEachField, file, &firstRowid);
        // A file that fails part-way is skipped with its reason: its day stays as it was.
        const bool notRead = file.outcome == FileReport::NotRead;
        if (notRead) {
            failure.clear();
            file.records = 0;
            file.lines = {};
        }
        if (!failure.isEmpty() || cancelRequested())
            break;
        if (!notRead)
            file.outcome = additionOutcome(entry, file, table, firstRowid);
        if (entry)
            file.previousRecords = entry->records;
        const bool kept = file.outcome == FileReport::Added || file.outcome == FileReport::Replaced;
        if (kept && entry) {
            // The day under the name in another case: one entry, the new one.
            if (entry->name != file.name()) {
                QSqlQuery forget(db);
                forget.prepare(QStringLiteral("delete from imported_files where name = ?"));
                forget.addBindValue(entry->name);
                if (!forget.exec()) {
                    failure = tr("Import failed: %1").arg(forget.lastError().text());
                    break;
                }
            }
            noteRows(entry->firstRowid, entry->lastRowid);
            remove.addBindValue(entry->firstRowid);
            remove.addBindValue(entry->lastRowid);
            if (!remove.exec()) {
                failure = tr("Import failed: %1").arg(remove.lastError().text());
                break;
            }
            recordsAfter -= remove.numRowsAffected();
        }
        if (kept) {
            noteRows(firstRowid, firstRowid + file.records - 1);
            recordsAfter += file.records;
        }
        else if (!run(QStringLiteral("rollback to addition")))
            break;
        if (!run(QStringLiteral("release addition")))
            break;
        report.files << file;
        emit PostProgress(tr("Import file :%1").arg(file.path), 2 + 88 * (k + 1) / int(files.size()));
    }
    inserter.reset();
    remove.finish();
    step.finish();
    // As an import: files of which not one record could be read are no addition.
    if (failure.isEmpty() && !cancelRequested()
        && std::all_of(report.files.cbegin(), report.files.cend(),
                       [](const FileReport &f) { return f.outcome == FileReport::NoRecord; }))
        failure = nothingChosen;
    int summed = 0;
    if (failure.isEmpty() && !cancelRequested() && sumsKept)
        failure = RecordSums::update(db, family, model.tableCode, changed, &summed);
    qint64 minutesSummed = 0;
    if (failure.isEmpty() && !cancelRequested() && overviewKept)
        failure = RecordOverview::update(db, family, model.tableCode, minutes, &minutesSummed);
    if (!failure.isEmpty() || cancelRequested())
        return failImport(failure, failure);
    const QDateTime lastAfter =
        readableSpan(table, sumsKept ? StampBlocks::ofCheckedSums(db, family, model.tableCode) : StampBlocks()).last;
    if (!db.commit()) {
        failure = tr("Import failed: %1").arg(db.lastError().text());
        return failImport(failure, failure);
    }
    // Saved: a cancel that comes now changes nothing.
    closeConnection();
    if (recordsBefore >= 0)
        keepCountedRecords(recordDatabasePath(), table, recordsAfter);
    startReadPaths(true);
    if (sumsKept)
        noteReadPath(QStringLiteral("sums of %1 blocks brought up to date").arg(summed));
    if (overviewKept)
        noteReadPath(QStringLiteral("overview of %1 minutes brought up to date").arg(minutesSummed));
    lastReport = report;
    lastAround = {lastBefore, lastAfter};
    returnFreedMemory();
    finishImport(family, model.tableCode, report.headline());
}
