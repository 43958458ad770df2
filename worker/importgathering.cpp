#include "importgathering.h"

#include "families.h"
#include "recorddatabase.h"
#include "recordoverview.h"
#include "recordsums.h"
#include "rowinserter.h"
#include "sqlthread.h"
#include "summaryblocks.h"

std::unique_ptr<ImportGathering> ImportGathering::start(QSqlDatabase &db, const MeterFamily &family, int tableCode,
                                                        QString *error)
{
    if (!SQLThread::recordFunctionsUsable() || preferredInsertPath() == InsertPath::QtQuery || !nativeHandleUsable(db))
        return nullptr;
    const QString insert = insertStatement(tableCode);
    const qsizetype open = insert.indexOf(QLatin1Char('(')), close = insert.indexOf(QLatin1Char(')'));
    QStringList named = insert.mid(open + 1, close - open - 1).split(QLatin1Char(','));
    for (QString &name : named)
        name = name.trimmed();
    QList<int> valueFields;
    for (const QString &column : everyValueColumn(family, tableCode))
        valueFields << int(named.indexOf(column));
    const int stampField = int(named.indexOf(QStringLiteral("indate")));
    if (stampField < 0 || valueFields.contains(-1))
        return nullptr;
    const QString table = family.table(tableCode);
    *error = RecordSums::startWithImport(db, table);
    if (error->isEmpty())
        *error = RecordOverview::startWithImport(sqliteHandle(db), table);
    if (!error->isEmpty())
        return nullptr;
    std::unique_ptr<ImportGathering> gathering(new ImportGathering(db, family, tableCode, valueFields, stampField));
    gathering->blocks.expect(greatestRowid(db, table) + 1);
    return gathering;
}

ImportGathering::ImportGathering(QSqlDatabase &db, const MeterFamily &family, int meter, const QList<int> &valueFields,
                                 int stampField)
    : db(db), family(family), meter(meter), table(family.table(meter)),
      blocks(everyValueColumn(family, meter), valueFields, stampField, RecordSums::blockRowids()),
      minutes(sqliteHandle(db), table)
{
    // The overview of alarm states is read from the rows.
    for (const QString &column : blocks.columns()) {
        if (!family.alarmsOf(column).isEmpty())
            blocks.leaveOverview();
    }
}

void ImportGathering::checkNextRowid(qint64 rowid)
{
    if (blocks.nextRowid() != rowid)
        blocks.abandon();
}

ImportGathering::Ended ImportGathering::takeEnded()
{
    return Ended{blocks.takeEnded(), blocks.takeClosedMinutes()};
}

QString ImportGathering::save(const Ended &ended)
{
    if (blocks.abandoned())
        return QString();
    for (const ArrivingBlocks::Block &block : ended.blocks) {
        if (const QString error = RecordSums::saveGathered(db, table, blocks.columns(), block.number, block.sums,
                                                           block.packed);
            !error.isEmpty())
            return error;
    }
    for (const OverviewSpans::Closed &closed : ended.minutes) {
        if (!minutes.writeMinutes(blocks.columns(), closed))
            return minutes.error();
    }
    return QString();
}

QString ImportGathering::finish(QStringList *notes)
{
    if (blocks.abandoned())
        return QString();
    blocks.finish();
    QString error = save(takeEnded());
    if (error.isEmpty())
        error = RecordSums::saveSummed(db, table, blocks.columns(), blocks.leftToSqlite(), blocks.rowidsPerBlock());
    if (error.isEmpty())
        error = RecordSums::finishWithImport(db, table, blocks.rowidsPerBlock());
    if (!error.isEmpty())
        return error;
    *notes << QStringLiteral("sums gathered while importing: %1 blocks, %2 summed up from their rows")
                  .arg(blocks.blocksEnded())
                  .arg(blocks.leftToSqlite().size());
    if (!blocks.overviewGathered())
        return QString();
    error = RecordOverview::finishWithImport(db, family, meter, nullptr, minutes);
    if (error.isEmpty())
        *notes << QStringLiteral("overview gathered while importing");
    return error;
}
