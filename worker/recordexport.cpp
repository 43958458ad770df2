// The export job: the records of a table search, written to a CSV file
// exactly as the data-table page shows them.
#include "sqlthread.h"

#include "recorddatabase.h"
#include "recordtime.h"
#include "settings.h"
#include "rowreader.h"
#include "statements.h"

#include <QDir>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

namespace {

// Big enough that offsets stay few on a large result; the rows of a chunk
// go to the file as they are read, so memory does not grow with it.
std::atomic_int g_exportChunk{SQLThread::DefaultExportChunk};

QByteArray csvLine(const QStringList &cells)
{
    QStringList quoted;
    for (const QString &cell : cells) {
        if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) || cell.contains(QLatin1Char('\n')))
            quoted << QLatin1Char('"') + QString(cell).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
        else
            quoted << cell;
    }
    return quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

} // namespace

void SQLThread::setExportChunk(int rows)
{
    g_exportChunk = qMax(1, rows);
}

void SQLThread::dn_exportTable(int familyNumber, int idx, QDateTime st, QDateTime en, double pv1, double pv2,
                               double th1, double th2, bool ishl, int total, QString path)
{
    const MeterFamily &family = meterFamily(familyNumber);
    const TableSearch base{0, idx, st, en, pv1, pv2, th1, th2, ishl};
    const QString where = QDir::toNativeSeparators(path);
    emit PostProgress(tr("Exporting..."), 1);
    // The file appears under its name only once it is complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return finishJob(JobOutcome::Failed, tr("The records could not be written to %1.").arg(where));
    QStringList headers;
    for (const FamilyCell &cell : family.cells)
        headers << cell.header;
    file.write(csvLine(headers));

    openConnection(recordDatabasePath());
    // Each chunk starts at the block that holds its first record.
    QVector<SearchedBlock> blocks;
    const bool fromSums = pageAccess() == PageAccess::Chosen;
    if (fromSums && !searchBlocks(describeSearch(family, Meter, base, false), blocks, false))
        return file.cancelWriting();
    const bool scan = fromSums || pageAccess() == PageAccess::TableOrder;
    readInTableOrder(family.table(Meter), scan, scan ? QStringLiteral("export in table order")
                                                     : QStringLiteral("export through the index"));
    const int chunk = g_exportChunk;
    int written = 0, statements = 0;
    QString readError;
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        for (int page = 0; readError.isEmpty() && !cancelRequested(); ++page) {
            TableSearch search = base;
            search.pageid = page;
            int rows = 0;
            const PageStart start = fromSums ? pageStart(blocks, qint64(page) * chunk) : PageStart{0, qint64(page) * chunk};
            const QString statement = tablePageStatement(family, Meter, search, chunk);
            const bool prepared = query.prepare(fromSums ? pageStatementFrom(statement, start.skip) : statement);
            ++statements;
            query.bindValue(QStringLiteral(":indate1"), recordTimeText(st));
            query.bindValue(QStringLiteral(":indate2"), recordTimeText(en));
            if (fromSums) {
                query.bindValue(QStringLiteral(":rowfrom"), start.fromRow);
                query.bindValue(QStringLiteral(":rowto"), start.toRow);
            }
            if (prepared && query.exec()) {
                for (; query.next(); ++rows) {
                    RecordRow row = readRecordRow(query, family.tableColumns, ishl);
                    row.id = written + rows;
                    row.channel = idx + 1;
                    QStringList cells;
                    for (const FamilyCell &cell : family.cells)
                        cells << recordCellText(cell, row, ishl);
                    file.write(csvLine(cells));
                }
            }
            if (query.lastError().isValid())
                readError = query.lastError().text();
            written += rows;
            if (total > 0)
                emit PostProgress(tr("Exporting..."), qBound(1, int(qint64(written) * 99 / total), 99));
            if (rows < chunk)
                break;
        }
    }
    noteReadPath(QStringLiteral("export in %1 statements").arg(statements), false);
    if (cancelRequested()) {
        file.cancelWriting();
        return finishCancelled();
    }
    if (!readError.isEmpty()) {
        file.cancelWriting();
        return finishJob(JobOutcome::Failed, tr("The records could not be read: %1").arg(readError));
    }
    if (!file.commit())
        return finishJob(JobOutcome::Failed, tr("The records could not be written to %1.").arg(where));
    finishJob(JobOutcome::Done, tr("%1 records exported to %2").arg(written).arg(where));
}
