#include "recordsums.h"

#include "families.h"
#include "gatheredblock.h"
#include "nativestatement.h"
#include "packedreader.h"
#include "recorddatabase.h"
#include "summaryfunction.h"
#include "tablecount.h"

#include <QSqlError>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>
#include <sqlite3.h>
#include <atomic>
#include <memory>

namespace {

const char *const Schema[] = {
    "create table if not exists record_sums (tbl text not null, col text not null, block integer not null, "
    "records integer, stamped integer, first_stamp text, last_stamp text, vals integer, cast_min real, "
    "cast_max real, totals blob, primary key (tbl, col, block)) without rowid",
    // One row a whole build: the rowids per block and the table's greatest rowid then.
    "create table if not exists record_sums_state (tbl text primary key, block_rowids integer, rowids integer)",
    // Per block its PackedStamps (col "indate") and per value column its PackedValues (NULL: not packed).
    "create table if not exists record_packed (tbl text not null, col text not null, block integer not null, "
    "vals blob, primary key (tbl, block, col)) without rowid"};


QByteArray totalsBlob(const SummaryTotals &totals)
{
    return QByteArray(reinterpret_cast<const char *>(&totals), sizeof totals);
}


} // namespace

namespace {

constexpr int SumColumns = 11, PackedColumns = 4;
std::atomic_bool g_packedApart{false};
std::atomic<qint64> g_blockRowids{DefaultBlockRowids};
// About 2 MB of packed values (64 blocks of two columns).
constexpr int PackedBatchRows = 192;

// The bound values of record_sums and record_packed for every block of the table, column by column.
struct SumRows {
    QList<QVariantList> sums = QList<QVariantList>(SumColumns);
    QList<QVariantList> packed = QList<QVariantList>(PackedColumns);
};

bool insertRows(QSqlQuery &insert, const SumRows &rows)
{
    for (const auto &[table, values] : {std::pair("record_sums", &rows.sums), std::pair("record_packed", &rows.packed)}) {
        if (values->first().isEmpty())
            continue;
        QStringList marks(values->size(), QStringLiteral("?"));
        if (!insert.prepare(QStringLiteral("insert into %1 values (%2)").arg(QLatin1String(table), marks.join(QLatin1Char(',')))))
            return false;
        for (const QVariantList &column : *values)
            insert.addBindValue(column);
        if (!insert.execBatch())
            return false;
    }
    return true;
}

// Runs `statements`, each bound to the table, inserts the rows and, where
// given, the state of a whole build, in one transaction; SQLite's reason
// when that failed.
QString write(QSqlDatabase &db, const QString &table, const QList<const char *> &statements, const SumRows &rows,
              const QVariantList &state = {})
{
    QSqlQuery write(db), insert(db);
    if (!db.transaction())
        return db.lastError().text();
    bool written = true;
    for (const char *schema : Schema)
        written = written && write.exec(QLatin1String(schema));
    for (const char *statement : statements) {
        written = written && write.prepare(QLatin1String(statement));
        write.addBindValue(table);
        written = written && write.exec();
    }
    written = written && insertRows(insert, rows);
    if (!state.isEmpty()) {
        written = written && write.prepare(QStringLiteral("insert into record_sums_state values (?, ?, ?)"));
        for (const QVariant &value : state)
            write.addBindValue(value);
        written = written && write.exec();
    }
    written = written && db.commit();
    if (written)
        return QString();
    const QString error = write.lastError().isValid() ? write.lastError().text()
        : insert.lastError().isValid()                ? insert.lastError().text()
                                                      : db.lastError().text();
    db.rollback();
    return error;
}

// The packed rows of a build go in as they are made, so that its memory
// stays flat: first no state and none of the table's packed rows, then a
// batch of blocks a transaction; they count once the state is saved.
QString startBuild(QSqlDatabase &db, const QString &table)
{
    return write(db, table, {"delete from record_sums_state where tbl = ?", "delete from record_packed where tbl = ?"}, {});
}

QString writePacked(QSqlDatabase &db, const QString &table, SumRows &rows)
{
    SumRows packed;
    std::swap(packed.packed, rows.packed);
    return write(db, table, {}, packed);
}

// Saves the sums and the build's state at once, so that a build that did
// not end leaves nothing that counts; SQLite's reason when that failed.
QString save(QSqlDatabase &db, const QString &table, const SumRows &rows, qint64 blockRowids, qint64 greatestRowid)
{
    return write(db, table, {"delete from record_sums where tbl = ?", "delete from record_sums_state where tbl = ?"}, rows,
                 {table, blockRowids, greatestRowid});
}

} // namespace

namespace {

// Prepares the statement that sums up one block of every column of `all`
// and, where `packed`, packs it.
bool prepareBlockSums(QSqlQuery &sums, const QString &table, const QStringList &all, bool packed = true)
{
    sums.setForwardOnly(true);
    return sums.prepare(blockSumsStatement(table, all, true, packed));
}

// The sums of block k and the packed values of its columns; false with an
// error when they could not be read, and false without one when the block
// holds no record.
bool sumBlock(QSqlQuery &sums, qint64 k, qint64 blockRowids, SummaryBlock &sum, QList<QByteArray> &packed,
              QString *error)
{
    sums.bindValue(QStringLiteral(":rowfrom"), k * blockRowids);
    sums.bindValue(QStringLiteral(":rowto"), (k + 1) * blockRowids);
    if (!sums.exec() || !sums.next()) {
        *error = sums.lastError().text();
        return false;
    }
    const bool some = readBlockSums(sums.value(0).toByteArray(), sum);
    packed = packedColumns(sums.value(1).toByteArray());
    sums.finish();
    return some;
}

void appendRows(SumRows &rows, const QString &table, const QStringList &all, qint64 k, const SummaryBlock &sum,
                const QList<QByteArray> &packed)
{
    for (int c = 0; c < all.size() && c < sum.columns.size(); ++c) {
        const BlockColumn &column = sum.columns.at(c);
        const QVariant values[] = {table, all.at(c), k, sum.records, sum.stamped, sum.firstStamp,
                                   sum.lastStamp, column.values, column.castMinimum, column.castMaximum,
                                   totalsBlob(column.totals)};
        for (int i = 0; i < SumColumns; ++i)
            rows.sums[i] << values[i];
    }
    // The stamps under the name of their column, then each value column's.
    QStringList names{QStringLiteral("indate")};
    names += all;
    for (int c = 0; c < names.size(); ++c) {
        const bool isPacked = c < packed.size() && !packed.at(c).isEmpty();
        const QVariant packedValues[] = {table, names.at(c), k,
                                         isPacked ? QVariant(packed.at(c)) : QVariant(QMetaType::fromType<QByteArray>())};
        for (int i = 0; i < PackedColumns; ++i)
            rows.packed[i] << packedValues[i];
    }
}

// Sums up block k from its stored rows and adds its rows (none where it holds
// no record); SQLite's reason when that failed.
QString sumRows(QSqlQuery &sums, const QString &table, const QStringList &columns, qint64 k, qint64 blockRowids,
                SumRows &rows)
{
    SummaryBlock sum;
    QList<QByteArray> packed;
    QString error;
    if (sumBlock(sums, k, blockRowids, sum, packed, &error))
        appendRows(rows, table, columns, k, sum, packed);
    return error;
}

// The rowids per block of the kept sums, when their state and rows make sense
// of the table as it stands (else 0: they are to be built again, whatever
// damaged them); with the table's records. `columns`: of every value column, when known.
qint64 keptBlockRowids(QSqlDatabase &db, const QString &table, qint64 columns, qint64 *records)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // Every column's blocks count each record once, and none lies outside the table's rowids.
    const bool read = query.prepare(QStringLiteral(
        "select s.block_rowids, s.rowids, (select coalesce(max(rowid), 0) from main.%1), "
        "(select coalesce(min(rowid), 0) from main.%1), ?, "
        "b.lo, b.hi, coalesce(b.records, 0), b.rows, b.cols * b.blocks, b.cols, b.least, b.misfits, p.kept "
        "from record_sums_state s, (select min(block) lo, max(block) hi, sum(records) records, count(*) rows, "
        "count(distinct col) cols, count(distinct block) blocks, min(records) least, "
        "coalesce(sum(length(totals) != %2), 0) misfits from record_sums where tbl = ?) b, "
        "(select exists (select 1 from record_packed where tbl = ?) kept) p "
        "where s.tbl = ?").arg(table).arg(sizeof(SummaryTotals)));
    const qint64 tableRecords = countedRecords(db, table);
    query.addBindValue(tableRecords);
    query.addBindValue(table);
    query.addBindValue(table);
    query.addBindValue(table);
    // Sums without packed values (an earlier version's) are built again.
    if (tableRecords < 0 || !read || !query.exec() || !query.next()
        || !(query.value(13).toBool() || query.value(8).toLongLong() == 0))
        return 0;
    const auto at = [&](int i) { return query.value(i).toLongLong(); };
    const qint64 blockRowids = at(0), count = at(4);
    // Totals of another size come from another version of the program.
    const bool sensible = blockRowids > 0 && at(1) == at(2) && at(12) == 0 && at(7) == at(10) * count && at(8) == at(9)
        && (count == 0 ? at(8) == 0
                       : at(10) > 0 && (columns < 0 || at(10) == columns) && at(11) > 0
                             && at(5) >= at(3) / blockRowids && at(6) <= at(2) / blockRowids);
    if (records)
        *records = count;
    return sensible ? blockRowids : 0;
}

} // namespace

namespace RecordSums {

void setBlockRowids(qint64 rowids)
{
    g_blockRowids = qMax<qint64>(1, rowids);
}

qint64 blockRowids()
{
    return g_blockRowids;
}

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

    // The blocks are packed on the second core where a connection of its own can read the file.
    std::unique_ptr<PackedReader> packer;
    if (!empty)
        packer = std::make_unique<PackedReader>(db.databaseName(), table, all, blockRowids, first / blockRowids,
                                                last / blockRowids);
    if (packer && !packer->openError().isEmpty())
        packer.reset();
    g_packedApart = packer != nullptr;
    QSqlQuery sums(db);
    if (!prepareBlockSums(sums, table, all, !packer))
        return sums.lastError().text();
    QHash<QString, int> wanted;
    for (const QString &column : columns)
        wanted.insert(column, int(wanted.size()));
    if (kept)
        kept->clear();
    if (const QString error = startBuild(db, table); !error.isEmpty())
        return error;
    SumRows rows;
    for (qint64 k = first / blockRowids; !empty && k <= last / blockRowids; ++k) {
        SummaryBlock sum;
        QList<QByteArray> packed;
        QString error;
        if (!sumBlock(sums, k, blockRowids, sum, packed, &error)) {
            if (!error.isEmpty())
                return error;
            continue; // no record in these rowids
        }
        if (packer && !packer->take(k, &packed))
            return packer->error();
        appendRows(rows, table, all, k, sum, packed);
        if (rows.packed.first().size() >= PackedBatchRows) {
            if (const QString error = writePacked(db, table, rows); !error.isEmpty())
                return error;
        }
        if (!kept)
            continue;
        SummaryBlock block{k * blockRowids, (k + 1) * blockRowids, sum.records, sum.stamped, sum.firstStamp,
                           sum.lastStamp, QVector<BlockColumn>(wanted.size())};
        for (int c = 0; c < all.size() && c < sum.columns.size(); ++c) {
            if (wanted.contains(all.at(c)))
                block.columns[wanted.value(all.at(c))] = sum.columns.at(c);
        }
        *kept << block;
    }
    if (keptRowids)
        *keptRowids = blockRowids;
    if (const QString error = writePacked(db, table, rows); !error.isEmpty())
        return error;
    return save(db, table, rows, blockRowids, empty ? 0 : last);
}

bool packedApartInLastBuild()
{
    return g_packedApart;
}

bool current(QSqlDatabase &db, const MeterFamily &family, int meter)
{
    return keptBlockRowids(db, family, meter) > 0;
}

qint64 keptBlockRowids(QSqlDatabase &db, const MeterFamily &family, int meter)
{
    return ::keptBlockRowids(db, family.table(meter), everyValueColumn(family, meter).size(), nullptr);
}

QString update(QSqlDatabase &db, const MeterFamily &family, int meter, const QList<RowidRange> &changed,
               int *summedBlocks)
{
    const QString table = family.table(meter);
    const QStringList all = everyValueColumn(family, meter);
    QSqlQuery query(db), sums(db), insert(db);
    query.prepare(QStringLiteral("select block_rowids from record_sums_state where tbl = ?"));
    query.addBindValue(table);
    if (!query.exec() || !query.next())
        return query.lastError().text();
    const qint64 blockRowids = query.value(0).toLongLong();
    query.finish();
    *summedBlocks = 0;
    // Sums whose state makes no sense are no longer kept: the build after the addition makes them anew.
    if (blockRowids <= 0) {
        query.prepare(QStringLiteral("delete from record_sums_state where tbl = ?"));
        query.addBindValue(table);
        return query.exec() ? QString() : query.lastError().text();
    }
    QSet<qint64> blocks;
    for (const RowidRange &range : changed) {
        for (qint64 k = range.first / blockRowids; range.last >= range.first && k <= range.last / blockRowids; ++k)
            blocks.insert(k);
    }
    QSqlQuery deletePacked(db);
    if (!prepareBlockSums(sums, table, all)
        || !query.prepare(QStringLiteral("delete from record_sums where tbl = ? and block = ?"))
        || !deletePacked.prepare(QStringLiteral("delete from record_packed where tbl = ? and block = ?")))
        return sums.lastError().isValid() ? sums.lastError().text()
            : query.lastError().isValid() ? query.lastError().text() : deletePacked.lastError().text();
    SumRows rows;
    *summedBlocks = int(blocks.size());
    for (qint64 k : std::as_const(blocks)) {
        for (QSqlQuery *removal : {&query, &deletePacked}) {
            removal->addBindValue(table);
            removal->addBindValue(k);
            if (!removal->exec())
                return removal->lastError().text();
        }
        if (const QString error = sumRows(sums, table, all, k, blockRowids, rows); !error.isEmpty())
            return error;
    }
    if (!insertRows(insert, rows))
        return insert.lastError().text();
    if (!query.prepare(QStringLiteral("update record_sums_state set rowids = ? where tbl = ?")))
        return query.lastError().text();
    query.addBindValue(greatestRowid(db, table));
    query.addBindValue(table);
    return query.exec() ? QString() : query.lastError().text();
}

QString startWithImport(QSqlDatabase &db, const QString &table)
{
    QSqlQuery query(db);
    for (const char *schema : Schema) {
        if (!query.exec(QLatin1String(schema)))
            return query.lastError().text();
    }
    for (const char *kept : {"record_sums", "record_sums_state", "record_packed"}) {
        if (!query.prepare(QStringLiteral("delete from %1 where tbl = ?").arg(QLatin1String(kept))))
            return query.lastError().text();
        query.addBindValue(table);
        if (!query.exec())
            return query.lastError().text();
    }
    return QString();
}

QString saveGathered(QSqlDatabase &db, const QString &table, const QStringList &columns, qint64 block,
                     const QByteArray &sums, const QByteArray &packed)
{
    SummaryBlock sum;
    if (!readBlockSums(sums, sum))
        return QStringLiteral("no sums gathered of block %1").arg(block);
    SumRows rows;
    appendRows(rows, table, columns, block, sum, packedColumns(packed));
    QSqlQuery insert(db);
    return insertRows(insert, rows) ? QString() : insert.lastError().text();
}

QString saveSummed(QSqlDatabase &db, const QString &table, const QStringList &columns, const QList<qint64> &blocks,
                   qint64 blockRowids)
{
    QSqlQuery sums(db), insert(db);
    if (!prepareBlockSums(sums, table, columns))
        return sums.lastError().text();
    SumRows rows;
    for (qint64 k : blocks) {
        if (const QString error = sumRows(sums, table, columns, k, blockRowids, rows); !error.isEmpty())
            return error;
    }
    return insertRows(insert, rows) ? QString() : insert.lastError().text();
}

QString finishWithImport(QSqlDatabase &db, const QString &table, qint64 blockRowids)
{
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("insert into record_sums_state values (?, ?, ?)")))
        return query.lastError().text();
    query.addBindValue(table);
    query.addBindValue(blockRowids);
    query.addBindValue(greatestRowid(db, table));
    return query.exec() ? QString() : query.lastError().text();
}

std::optional<SummaryBlocks> load(QSqlDatabase &db, const QString &table, const QStringList &columns,
                                  qint64 *blockRowids)
{
    // Records changed since (by another program), or damaged sums: they no longer tell.
    qint64 records = 0;
    const qint64 rowids = ::keptBlockRowids(db, table, -1, &records);
    if (rowids <= 0)
        return std::nullopt;
    *blockRowids = rowids;
    QSqlQuery query(db);
    query.setForwardOnly(true);
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
        records -= block.records;
    }
    // A column with no sums at all would read as no records.
    if (!columns.isEmpty() && records != 0)
        return std::nullopt;
    return blocks;
}

QString packedRowStatement()
{
    return QStringLiteral("select vals from record_packed where tbl = ?1 and col = ?2 and block = ?3");
}

bool packedRow(NativeStatement &statement, const QString &table, const QString &column, qint64 block, QByteArray *bytes)
{
    return packedRow(statement, table, column, block, [bytes](QByteArrayView view) { *bytes = view.toByteArray(); });
}

bool packedRow(NativeStatement &statement, const QString &table, const QString &column, qint64 block,
               const std::function<void(QByteArrayView)> &use)
{
    statement.bind(1, table);
    statement.bind(2, column);
    statement.bind(3, block);
    const int code = statement.step();
    if (code == SQLITE_ROW && sqlite3_column_type(*statement, 0) == SQLITE_BLOB)
        use(QByteArrayView(static_cast<const char *>(sqlite3_column_blob(*statement, 0)), sqlite3_column_bytes(*statement, 0)));
    else
        use(QByteArrayView());
    statement.reset();
    return code == SQLITE_ROW || code == SQLITE_DONE;
}

} // namespace RecordSums
