#include "recordsums.h"

#include "families.h"
#include "summaryfunction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char *const Schema[] = {
    "create table if not exists record_sums (tbl text not null, col text not null, block integer not null, "
    "records integer, stamped integer, first_stamp text, last_stamp text, vals integer, cast_min real, "
    "cast_max real, totals blob, primary key (tbl, col, block)) without rowid",
    // One row a whole build: the rowids per block and the table's greatest rowid then.
    "create table if not exists record_sums_state (tbl text primary key, block_rowids integer, rowids integer)"};

QStringList everyValueColumn(const MeterFamily &family, int meter)
{
    QStringList columns;
    for (int channel = 1; channel <= qMax(1, family.channelCount(meter)); ++channel)
        columns << valueColumnsOf(family, channel);
    columns.removeDuplicates();
    return columns;
}

QByteArray totalsBlob(const SummaryTotals &totals)
{
    return QByteArray(reinterpret_cast<const char *>(&totals), sizeof totals);
}

qint64 greatestRowid(QSqlDatabase &db, const QString &table)
{
    QSqlQuery query(db);
    return query.exec(QStringLiteral("select max(rowid) from main.%1").arg(table)) && query.next()
        ? query.value(0).toLongLong()
        : -1;
}

} // namespace

namespace {

// The bound values of record_sums for every block of the table, column by column.
using SumRows = QList<QVariantList>;

// Saves the rows and the build's state at once, so that a build that did
// not end leaves nothing; SQLite's reason when that failed.
QString save(QSqlDatabase &db, const QString &table, const SumRows &rows, qint64 blockRowids, qint64 greatestRowid)
{
    QSqlQuery save(db), insert(db);
    if (!db.transaction())
        return db.lastError().text();
    bool saved = save.exec(QLatin1String(Schema[0])) && save.exec(QLatin1String(Schema[1]));
    for (const char *statement : {"delete from record_sums where tbl = ?", "delete from record_sums_state where tbl = ?"}) {
        saved = saved && save.prepare(QLatin1String(statement));
        save.addBindValue(table);
        saved = saved && save.exec();
    }
    saved = saved && insert.prepare(QStringLiteral("insert into record_sums values (?,?,?,?,?,?,?,?,?,?,?)"));
    for (const QVariantList &values : rows)
        insert.addBindValue(values);
    saved = saved && (rows.first().isEmpty() || insert.execBatch());
    saved = saved && save.prepare(QStringLiteral("insert into record_sums_state values (?, ?, ?)"));
    save.addBindValue(table);
    save.addBindValue(blockRowids);
    save.addBindValue(greatestRowid);
    saved = saved && save.exec() && db.commit();
    if (saved)
        return QString();
    const QString error = save.lastError().isValid() ? save.lastError().text()
        : insert.lastError().isValid()               ? insert.lastError().text()
                                                     : db.lastError().text();
    db.rollback();
    return error;
}

} // namespace

namespace RecordSums {

QString build(QSqlDatabase &db, const MeterFamily &family, int meter, qint64 blockRowids, const QStringList &columns,
              SummaryBlocks *kept, qint64 *keptRowids)
{
    const QString table = family.table(meter);
    const QStringList all = everyValueColumn(family, meter);
    QSqlQuery span(db);
    if (!span.exec(QStringLiteral("select min(rowid), max(rowid) from main.%1").arg(table)) || !span.next())
        return span.lastError().text();
    const qint64 first = span.value(0).toLongLong(), last = span.value(1).toLongLong();
    const bool empty = span.value(0).isNull();
    span.finish();

    QSqlQuery sums(db);
    sums.setForwardOnly(true);
    if (!sums.prepare(blockSumsStatement(table, all)))
        return sums.lastError().text();
    QHash<QString, int> wanted;
    for (const QString &column : columns)
        wanted.insert(column, int(wanted.size()));
    if (kept)
        kept->clear();
    SumRows rows(11);
    for (qint64 k = first / blockRowids; !empty && k <= last / blockRowids; ++k) {
        sums.bindValue(QStringLiteral(":rowfrom"), k * blockRowids);
        sums.bindValue(QStringLiteral(":rowto"), (k + 1) * blockRowids);
        if (!sums.exec() || !sums.next())
            return sums.lastError().text();
        SummaryBlock sum;
        if (!readBlockSums(sums.value(0), sum))
            continue; // no record in these rowids
        SummaryBlock block{k * blockRowids, (k + 1) * blockRowids, sum.records, sum.stamped, sum.firstStamp,
                           sum.lastStamp, QVector<BlockColumn>(wanted.size())};
        for (int c = 0; c < all.size() && c < sum.columns.size(); ++c) {
            const BlockColumn &column = sum.columns.at(c);
            const QVariant values[] = {table, all.at(c), k, block.records, block.stamped, block.firstStamp,
                                       block.lastStamp, column.values, column.castMinimum, column.castMaximum,
                                       totalsBlob(column.totals)};
            for (int i = 0; i < 11; ++i)
                rows[i] << values[i];
            if (wanted.contains(all.at(c)))
                block.columns[wanted.value(all.at(c))] = column;
        }
        if (kept)
            *kept << block;
    }
    sums.finish();
    if (keptRowids)
        *keptRowids = blockRowids;
    return save(db, table, rows, blockRowids, empty ? 0 : last);
}

std::optional<SummaryBlocks> load(QSqlDatabase &db, const QString &table, const QStringList &columns,
                                  qint64 *blockRowids)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("select block_rowids, rowids from record_sums_state where tbl = ?")))
        return std::nullopt;
    query.addBindValue(table);
    if (!query.exec() || !query.next())
        return std::nullopt;
    const qint64 rowids = query.value(0).toLongLong(), last = query.value(1).toLongLong();
    query.finish();
    // Records changed since (by another program): the sums no longer tell.
    if (rowids <= 0 || greatestRowid(db, table) != last)
        return std::nullopt;
    *blockRowids = rowids;
    SummaryBlocks blocks;
    if (!query.prepare(QStringLiteral("select block, records, stamped, first_stamp, last_stamp, vals, cast_min, "
                                      "cast_max, totals from record_sums where tbl = ? and col = ? order by block")))
        return std::nullopt;
    for (int c = 0; c < columns.size(); ++c) {
        query.addBindValue(table);
        query.addBindValue(columns.at(c));
        if (!query.exec())
            return std::nullopt;
        for (int b = 0; query.next(); ++b) {
            const qint64 k = query.value(0).toLongLong();
            if (c == 0)
                blocks << SummaryBlock{k * rowids, (k + 1) * rowids, query.value(1).toLongLong(),
                                       query.value(2).toLongLong(), query.value(3).toByteArray(),
                                       query.value(4).toByteArray(), {}};
            if (b >= blocks.size() || blocks.at(b).fromRow != k * rowids)
                return std::nullopt;
            blocks[b].columns << BlockColumn{query.value(5).toLongLong(), query.value(6).toDouble(),
                                             query.value(7).toDouble(), summaryTotals(query.value(8))};
        }
    }
    for (const SummaryBlock &block : std::as_const(blocks)) {
        if (block.columns.size() != columns.size())
            return std::nullopt;
    }
    return blocks;
}

} // namespace RecordSums
