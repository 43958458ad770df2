// The import job: model detection, file checks and the record-file parsers.
#include "sqlthread.h"

#include "contenthash.h"
#include "families.h"
#include "freedmemory.h"
#include "importedfiles.h"
#include "importgathering.h"
#include "readahead.h"
#include "recorddatabase.h"
#include "recordlinereader.h"
#include "rowinserter.h"
#include "settings.h"
#include "sha256.h"
#include "tablecount.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>

// One trace per field of every line would flood the output on a large
// import, so it has a category of its own, off unless asked for.
Q_LOGGING_CATEGORY(lcFieldTrace, "sundrevale.import.fields", QtWarningMsg)

namespace {

int readModelCode(QFile &modelFile)
{
    return QString::fromUtf8(modelFile.readLine()).trimmed().toInt(nullptr, 10);
}

// False when the database can take no more, or when the import is to stop,
// which is looked at every 256 records so that a cancel ends it promptly.
// `fields`: room for the fields of the records stored at once.
bool storeBatch(RowInserter &inserter, const RecordBatch &batch, bool traceFields, const std::atomic_bool &stop,
                std::vector<FieldSpan> &fields)
{
    constexpr int RecordsAtOnce = 256;
    const int fieldCount = batch.fieldCount;
    fields.resize(size_t(RecordsAtOnce) * size_t(fieldCount));
    for (int r = 0; r < batch.records; r += RecordsAtOnce) {
        if (stop.load())
            return false;
        const int records = qMin(RecordsAtOnce, batch.records - r);
        for (int k = 0; k < records; ++k)
            batch.fieldsOf(r + k, fields.data() + size_t(k) * size_t(fieldCount));
        if (traceFields && lcFieldTrace().isDebugEnabled()) {
            for (int i = 0; i < records * fieldCount; ++i)
                qCDebug(lcFieldTrace) << "进入巡检仪表格导入过程" << i % fieldCount;
        }
        if (!inserter.insertMany(fields.data(), records, fieldCount))
            return false;
    }
    return true;
}

std::function<std::unique_ptr<QIODevice>(const QString &)> g_recordFileHook;

} // namespace

void SQLThread::setRecordFileHook(std::function<std::unique_ptr<QIODevice>(const QString &path)> open)
{
    g_recordFileHook = std::move(open);
}

ModelChoice SQLThread::chosenModel(QStringList &files)
{
    emit PostProgress(QStringLiteral("initializing..."), 1);
    if (files.isEmpty())
        files.append(QString());
    QFile modelFile(QFileInfo(files.first()).path() + QStringLiteral("//VNMETER.INI"));
    if (!QFileInfo(modelFile.fileName()).isFile() || !modelFile.open(QIODevice::ReadOnly | QIODevice::Text)) {
        finishJob(JobOutcome::Failed, tr("VNMETER.INI was not found beside the record files."),
                  QStringLiteral("VNMETER.INI not be found. "));
        return {};
    }
    const int modelCode = readModelCode(modelFile);
    qDebug() << "仪表类型：" << modelCode;
    emit PostProgress(QStringLiteral("Got the meter model"), 1);
    modelFile.close();

    const QStringList chosen = files;
    for (const QString &path : chosen) {
        qDebug() << "进入文件处理0" << path;
        const QFileInfo info(path);
        if (info.fileName().size() != 12) {
            files.removeAll(path);
            emit PostProgress(QString(), 2);
            continue;
        }
        // Only regular files take part: opening a FIFO would block the job.
        QFile file(path);
        if (!path.contains(QStringLiteral("20")) || !info.isFile()
            || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            files.removeOne(path);
            emit PostProgress(QStringLiteral("Delete invalid file"), 2);
            continue;
        }
        file.readLine(1024);
        file.close();
    }
    // A folder and a file of it chosen together name the file twice: it is one file.
    for (QString &path : files)
        path = QFileInfo(path).canonicalFilePath().isEmpty() ? path : QFileInfo(path).canonicalFilePath();
    files.removeDuplicates();
    files.sort(Qt::CaseSensitive);

    const ModelChoice model = modelForCode(modelCode);
    if (model.family == 0) {
        qDebug() << "导入失败，没找到可导入文件";
        finishJob(JobOutcome::Failed, tr("The model code %1 in VNMETER.INI names no known meter.").arg(modelCode));
    }
    return model;
}

void SQLThread::dn_importCSV(QStringList files)
{
    lastReport = {};
    const ModelChoice model = chosenModel(files);
    if (model.family != 0)
        importModel(model, files);
}

void SQLThread::importModel(const ModelChoice &model, const QStringList &files)
{
    switch (model.family) {
    case 1: importFamily1(files, model.channels); break;
    case 2: importFamily2(files, model.channels); break;
    case 3: importFamily3(files); break;
    case 4: importFamily4(files); break;
    case 5: importFamily5(files); break;
    }
}

void SQLThread::importFamily1(QStringList files, int channels)
{
    importRecords(1, channels >= 1 && channels <= 5 ? 10 + channels : 16, files);
}

void SQLThread::importFamily2(QStringList files, int channels)
{
    importRecords(2, channels == 16 ? 216 : 208, files);
}

void SQLThread::importFamily3(QStringList files)
{
    importRecords(3, 3, files);
}

void SQLThread::importFamily4(QStringList files)
{
    importRecords(4, 4, files);
}

void SQLThread::importFamily5(QStringList files)
{
    importRecords(5, 5, files);
}

void SQLThread::failImport(const QString &reason, const QString &report)
{
    if (db.isValid()) {
        db.rollback();
        closeConnection();
    }
    discardNewRecordDatabase();
    if (cancelRequested())
        finishCancelled();
    else
        finishJob(JobOutcome::Failed, reason, report);
}

// Stores the records of one file and notes it in the record of imported
// files; the report gets its lines, size, hash and records. The reason when
// the import cannot go on (a cancel stops it with no reason); a file that
// failed part-way is also marked NotRead, with its records left to roll back.
QString SQLThread::storeRecordFile(RowInserter &inserter, const QString &table, int fieldCount, bool traceEachField,
                                   FileReport &report, qint64 *firstRowid, ImportGathering *gathering)
{
    const std::unique_ptr<QIODevice> file = g_recordFileHook ? g_recordFileHook(report.path)
                                                             : std::make_unique<QFile>(report.path);
    // The line reader buffers on its own; a second buffer would only copy.
    if (!QFileInfo(report.path).isFile() || !file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        qDebug() << "文件打开失败" << report.path;
        return tr("Import failed: the record file %1 could not be opened. Nothing was imported.")
            .arg(QDir::toNativeSeparators(report.path));
    }
    *firstRowid = greatestRowid(db, table) + 1;
    ContentHash hash;
    Sha256 digest;
    RecordBatchReader reader(*file, fieldCount);
    reader.setHash(&hash);
    reader.setDigest(&digest);
    reader.skipLine(); // the header
    struct Slot {
        RecordBatch batch;
        ImportGathering::Ended ended; // what its lines completed
    };
    if (gathering)
        gathering->checkNextRowid(*firstRowid);
    QString saving;
    {
        // The lines are read, split and summed up on another core while
        // those before them are stored.
        ReadAhead<Slot> ahead(8, [&reader, gathering](Slot &slot) {
            reader.fill(slot.batch);
            if (gathering) {
                gathering->arriving().add(slot.batch);
                slot.ended = gathering->takeEnded();
            }
            return slot.batch.records > 0;
        });
        std::vector<FieldSpan> fields;
        while (!cancelRequested()) {
            const Slot &slot = ahead.next();
            if (gathering)
                saving = gathering->save(slot.ended);
            if (slot.batch.records == 0 || !saving.isEmpty()
                || !storeBatch(inserter, slot.batch, traceEachField, cancelFlag, fields))
                break;
        }
    }
    if (!saving.isEmpty())
        return tr("Import failed: %1").arg(saving);
    if (!inserter.errorText().isEmpty())
        return tr("Import failed: %1").arg(inserter.errorText());
    if (cancelRequested())
        return QString();
    if (!reader.readError().isEmpty()) {
        // What was read is no whole file: none of it counts.
        report.outcome = FileReport::NotRead;
        report.reason = tr("could not be read to its end: %1").arg(reader.readError());
        return tr("Import failed: the record file %1 %2. Nothing was imported.")
            .arg(QDir::toNativeSeparators(report.path), report.reason);
    }
    const qint64 lastRowid = greatestRowid(db, table);
    if (gathering)
        gathering->checkNextRowid(lastRowid + 1);
    report.size = file->size();
    report.hash = hash.hex();
    report.sha256 = digest.hex();
    report.records = qMax<qint64>(0, lastRowid - *firstRowid + 1);
    report.lines = reader.tally();
    if (!ImportedFiles::note(db, report, *firstRowid, lastRowid))
        return tr("Import failed: %1").arg(db.lastError().text());
    return QString();
}

// The records go into a fresh copy of the template beside record.db, which
// replaces record.db only once every line is committed: an import that fails
// or is cancelled leaves the previous records, Meter and the settings file as
// they were.
void SQLThread::importRecords(int family, int tableCode, const QStringList &files)
{
    const ParserTraits traits = parserTraits(family);
    if (traits.entryTrace)
        qDebug() << traits.entryTrace;
    const QString nothingRead = tr("No records could be read from the chosen files.");
    if (files.isEmpty())
        return failImport(nothingRead, nothingRead);
    if (!prepareNewRecordDatabase())
        return failImport(tr("Write to the data fails"), tr("Write to the data fails"));
    const int n = int(files.size());
    const int fieldCount = recordFieldCount(tableCode);
    const QString table = meterFamily(family).table(tableCode);

    // SQLite's default page cache (2 MB) is kept: the one transaction spills
    // to the file as it grows, and a larger cache measured slower.
    openConnection(newRecordDatabasePath());
    db.transaction();
    std::unique_ptr<RowInserter> inserter = makeRowInserter(db);
    inserter->prepare(insertStatement(tableCode));
    QString noLedger = ImportedFiles::ensureTable(db);
    std::unique_ptr<ImportGathering> gathering;
    if (noLedger.isEmpty())
        gathering = ImportGathering::start(db, meterFamily(family), tableCode, &noLedger);
    // Their statements end before the connection closes.
    const auto fail = [&](const QString &reason) {
        inserter.reset();
        gathering.reset();
        failImport(reason, reason);
    };
    if (!noLedger.isEmpty())
        return fail(tr("Import failed: %1").arg(noLedger));

    ImportReport report;
    qint64 stored = 0;
    int k = 0;
    for (const QString &path : files) {
        FileReport file;
        file.path = path;
        qint64 firstRowid = 0;
        const QString failure = storeRecordFile(*inserter, table, fieldCount, traits.traceEachField, file, &firstRowid,
                                                gathering.get());
        if (!failure.isEmpty() || cancelRequested())
            return fail(failure);
        stored += file.records;
        report.files << file;
        ++k;
        emit PostProgress(tr("Import file :%1").arg(path), (90 / n) * k);
    }
    if (stored == 0)
        return fail(nothingRead);
    QStringList gathered;
    if (gathering) {
        if (const QString error = gathering->finish(&gathered); !error.isEmpty())
            return fail(tr("Import failed: %1").arg(error));
    }
    inserter.reset();
    gathering.reset();

    if (!db.commit()) {
        const QSqlError error = db.lastError();
        if (family == 5)
            qDebug() << traits.errorLabel << error;
        qDebug() << traits.errorLabel << error;
        const QString text = error.text().isEmpty() ? tr("Import failed: the records could not be saved.")
                                                    : error.text();
        return failImport(text, text);
    }
    closeConnection();
    // The new records count once they replace record.db: until then a cancel
    // keeps the previous ones, and after it changes nothing.
    if (cancelRequested())
        return failImport(QString(), QString());
    if (!installNewRecordDatabase())
        return failImport(tr("Write to the data fails"), tr("Write to the data fails"));
    keepCountedRecords(recordDatabasePath(), table, stored);

    Meter = tableCode;
    writeSetting(QStringLiteral("Meter"), QString::number(tableCode));
    lastReport = report;
    startReadPaths(true);
    for (const QString &note : std::as_const(gathered))
        noteReadPath(note, true);
    returnFreedMemory();
    finishImport(meterFamily(family), tableCode, tr("%1 files to be imported").arg(n));
}
