// The import job: model detection, file checks and the record-file parsers.
#include "sqlthread.h"

#include "families.h"
#include "recordlinereader.h"
#include "rowinserter.h"
#include "settings.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>

#include <future>

// One trace per field of every line would flood the output on a large
// import, so it has a category of its own, off unless asked for.
Q_LOGGING_CATEGORY(lcFieldTrace, "sundrevale.import.fields", QtWarningMsg)

namespace {

int readModelCode(QFile &modelFile)
{
    return QString::fromUtf8(modelFile.readLine()).trimmed().toInt(nullptr, 10);
}

bool storeBatch(RowInserter &inserter, const RecordBatch &batch, int fieldCount, bool traceFields)
{
    const FieldSpan *record = batch.fields.data();
    for (int r = 0; r < batch.records; ++r, record += fieldCount) {
        if (traceFields && lcFieldTrace().isDebugEnabled()) {
            for (int i = 0; i < fieldCount; ++i)
                qCDebug(lcFieldTrace) << "进入巡检仪表格导入过程" << i;
        }
        if (!inserter.insert(record, fieldCount))
            return false;
    }
    return true;
}

} // namespace

void SQLThread::dn_importCSV(QStringList files)
{
    emit PostProgress(QStringLiteral("initializing..."), 1);
    if (files.isEmpty())
        files.append(QString());
    QFile modelFile(QFileInfo(files.first()).path() + QStringLiteral("//VNMETER.INI"));
    if (!QFileInfo(modelFile.fileName()).isFile() || !modelFile.open(QIODevice::ReadOnly | QIODevice::Text)) {
        emit PostProgress(QStringLiteral("VNMETER.INI not be found. "), 100);
        return;
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
    files.sort(Qt::CaseSensitive);

    const ModelChoice model = modelForCode(modelCode);
    switch (model.family) {
    case 1: importFamily1(files, model.channels); break;
    case 2: importFamily2(files, model.channels); break;
    case 3: importFamily3(files); break;
    case 4: importFamily4(files); break;
    case 5: importFamily5(files); break;
    default:
        emit PostProgress(QStringLiteral("导入失败，没找到可导入文件"), 100);
        break;
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

void SQLThread::importRecords(int family, int tableCode, const QStringList &files)
{
    const ParserTraits traits = parserTraits(family);
    if (traits.entryTrace)
        qDebug() << traits.entryTrace;
    const int n = int(files.size());
    const int fieldCount = recordFieldCount(tableCode);

    // SQLite's default page cache (2 MB) is kept: the one transaction spills
    // to the file as it grows, and a larger cache measured slower.
    openConnection();
    db.transaction();
    std::unique_ptr<RowInserter> inserter = makeRowInserter(db);
    inserter->prepare(insertStatement(tableCode));

    int k = 0;
    for (const QString &path : files) {
        QFile file(path);
        // The line reader buffers on its own; a second buffer would only copy.
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            // The file went away after it was chosen: nothing of this import is kept.
            qDebug() << "文件打开失败" << path;
            inserter.reset();
            db.rollback();
            closeConnection();
            emit PostProgress(tr("Import failed: the record file %1 could not be opened. Nothing was imported.")
                                  .arg(QDir::toNativeSeparators(path)), 100);
            return;
        }
        RecordBatchReader reader(file, fieldCount);
        reader.skipLine(); // the header
        RecordBatch batches[2];
        reader.fill(batches[0]);
        for (int i = 0; batches[i % 2].records > 0; ++i) {
            // The next lines are read and split on another core while these are
            // stored (in place, should no thread be available).
            RecordBatch &next = batches[(i + 1) % 2];
            std::future<void> ahead = std::async(std::launch::async | std::launch::deferred,
                                                 [&reader, &next] { reader.fill(next); });
            const bool stored = storeBatch(*inserter, batches[i % 2], fieldCount, traits.traceEachField);
            ahead.wait();
            if (!stored)
                break;
        }
        file.close();
        if (!inserter->errorText().isEmpty()) {
            // The database can take no more: keep nothing of this import.
            const QString error = inserter->errorText();
            inserter.reset();
            db.rollback();
            closeConnection();
            emit PostProgress(tr("Import failed: %1").arg(error), 100);
            return;
        }
        ++k;
        emit PostProgress(tr("Import file :%1").arg(path), (90 / n) * k);
    }
    inserter.reset();

    if (!db.commit()) {
        const QSqlError error = db.lastError();
        if (family == 5)
            qDebug() << traits.errorLabel << error;
        db.rollback();
        qDebug() << traits.errorLabel << error;
        closeConnection();
        // Nothing was stored, so the earlier import stays the one on record.
        emit PostProgress(error.text().isEmpty() ? tr("Import failed: the records could not be saved.")
                                                 : error.text(), 100);
        return;
    }
    closeConnection();

    Meter = tableCode;
    writeSetting(QStringLiteral("Meter"), QString::number(tableCode));
    emit PostProgress(tr("%1 files to be imported").arg(n), 100);
}
