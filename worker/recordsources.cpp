// The job that tells which imported files the records of a window came from,
// and digests those records as they are stored.
#include "sqlthread.h"

#include "families.h"
#include "filetally.h"
#include "nativestatement.h"
#include "recorddatabase.h"
#include "recorddigest.h"
#include "recordsources.h"
#include "readtransaction.h"
#include "recordtime.h"
#include "settings.h"
#include "sha256.h"
#include "summaryblocks.h"

#include <QSqlError>
#include <QSqlQuery>
#include <memory>
#include <sqlite3.h>

RecordSources g_recordSources;

void SQLThread::readRecordSources(int familyNumber, QDateTime st, QDateTime en)
{
    startReadPaths();
    openConnection(recordDatabasePath());
    emit PostProgress(tr("Reading the sources..."), 25);
    QString error;
    const QList<ImportedFiles::Entry> entries = ImportedFiles::all(db, &error);
    if (!error.isEmpty())
        return finishJob(JobOutcome::Failed, error);
    const MeterFamily &family = meterFamily(familyNumber);
    const QString table = family.table(Meter);
    const QStringList columns = columnNames(db, table);
    if (columns.isEmpty())
        return finishJob(JobOutcome::Failed, tr("The columns of %1 could not be read.").arg(table));
    FileTally tally(entries);
    Sha256 digest;
    const bool read = pageAccess() == PageAccess::Chosen && handle
        ? digestByBlocks(family, columns, st, en, digest, tally)
        : digestByStatement(table, columns, st, en, digest, tally);
    if (!read)
        return;
    RecordSources sources;
    sources.files = tally.files();
    sources.records = tally.records();
    sources.sha256 = digest.hex();
    g_recordSources = sources;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}

// The records of the window by rowid, a block at a time, on two cores: a
// block wholly in the window is read without a condition, the others with
// the window's.
bool SQLThread::digestByBlocks(const MeterFamily &family, const QStringList &columns, const QDateTime &st,
                               const QDateTime &en, Sha256 &digest, FileTally &tally)
{
    QVector<SearchedBlock> blocks;
    if (!searchBlocks(describeSearch(family, Meter, TableSearch{-1, 0, st, en}, true), blocks, true))
        return false;
    // A block in quarters: the texts read ahead of the hashing take a few MB
    // in all rather than one each.
    constexpr qint64 PiecesPerBlock = 4;
    QList<RecordDigest::Piece> pieces;
    for (const SearchedBlock &block : std::as_const(blocks)) {
        const qint64 step = qMax<qint64>(1, (block.toRow - block.fromRow + PiecesPerBlock - 1) / PiecesPerBlock);
        for (qint64 from = block.fromRow; from < block.toRow; from += step)
            pieces << RecordDigest::Piece{from, qMin(from + step, block.toRow), block.read};
    }
    // This connection's read transaction keeps every writer out until both readers have begun theirs.
    ReadTransaction transaction(handle);
    if (!transaction.error().isEmpty()) {
        finishJob(JobOutcome::Failed, transaction.error());
        return false;
    }
    RecordDigest reader(db.databaseName(), family.table(Meter), columns, recordTimeText(st), recordTimeText(en),
                        tally.entryList());
    int shown = -1;
    const auto going = [&](qsizetype done, qsizetype of) {
        if (const int percent = 25 + int(70 * done / of); percent != shown)
            emit PostProgress(tr("Reading the sources..."), shown = percent);
        return !cancelRequested();
    };
    const bool read = reader.digest(pieces, digest, tally, going);
    transaction.end();
    if (!read) {
        if (cancelRequested())
            finishCancelled();
        else
            finishJob(JobOutcome::Failed, reader.openError().isEmpty() ? reader.error() : reader.openError());
        return false;
    }
    noteReadPath(QStringLiteral("sources from %1 blocks in %2 pieces on %3 readers, %4 from the file's pages")
                     .arg(blocks.size())
                     .arg(pieces.size())
                     .arg(RecordDigest::Readers)
                     .arg(reader.piecesFromPages()));
    return true;
}

// The statement every faster way is held to: each record as one text, made
// by SQLite (its bytes as stored, whatever their encoding), through the time index
// that the statements alone read through.
bool SQLThread::digestByStatement(const QString &table, const QStringList &columns, const QDateTime &st,
                                  const QDateTime &en, Sha256 &digest, FileTally &tally)
{
    ensureTimeIndex(table);
    QStringList fields;
    for (const QString &name : columns)
        fields << QStringLiteral("ifnull(cast(\"%1\" as text), '') || x'1f'").arg(name);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("select rowid, cast(%1 || x'1e' as blob) from main.%2 where datetime(indate) between :indate1 and "
                                 ":indate2 order by rowid").arg(fields.join(QStringLiteral(" || ")), table));
    bindWindow(query, st, en);
    if (!query.exec()) {
        finishJob(JobOutcome::Failed, query.lastError().text());
        return false;
    }
    for (qint64 read = 0; query.next(); ++read) {
        if (read % 65536 == 0 && cancelRequested()) {
            finishCancelled();
            return false;
        }
        tally.count(query.value(0).toLongLong());
        digest.addData(query.value(1).toByteArray());
    }
    if (query.lastError().isValid()) {
        finishJob(JobOutcome::Failed, query.lastError().text());
        return false;
    }
    noteReadPath(QStringLiteral("sources by the statement"));
    return true;
}
