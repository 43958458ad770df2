#include "packedcolumns.h"

#include "recordsums.h"

PackedColumns::PackedColumns(sqlite3 *handle, const QString &table, const QStringList &columns, qint64 blockRowids)
    : statement(handle, RecordSums::packedRowStatement()), table(table), names(columns),
      blockRowids(columns.isEmpty() ? 0 : blockRowids), bytes(size_t(columns.size())), columns(size_t(columns.size()))
{
}

bool PackedColumns::load(qint64 block)
{
    if (blockRowids <= 0 || !statement.ok())
        return false;
    bool stampsRead = false;
    if (!RecordSums::packedRow(statement, table, QStringLiteral("indate"), block,
                               [this, &stampsRead](QByteArrayView view) { stampsRead = stamps.open(view); })
        || !stampsRead)
        return false;
    for (size_t c = 0; c < columns.size(); ++c) {
        if (!RecordSums::packedRow(statement, table, names.at(qsizetype(c)), block, &bytes[c]) || !columns[c].open(bytes[c])
            || !columns[c].sameRecords(columns.front()))
            return false;
    }
    return holdsBlock(block);
}

bool PackedColumns::open(qint64 block, const QList<QByteArray> &packed)
{
    if (blockRowids <= 0 || packed.size() != qsizetype(columns.size()) + 1 || !stamps.open(packed.front()))
        return false;
    for (size_t c = 0; c < columns.size(); ++c) {
        bytes[c] = packed.at(qsizetype(c) + 1);
        if (!columns[c].open(bytes[c]) || !columns[c].sameRecords(columns.front()))
            return false;
    }
    return holdsBlock(block);
}

// Whether the records of the columns are those of the stamps, in block k.
bool PackedColumns::holdsBlock(qint64 block)
{
    const PackedValues &first = columns.front();
    if (qint64(stamps.seconds().size()) != first.count() || first.firstRowid() < block * blockRowids
        || first.lastRowid() >= (block + 1) * blockRowids)
        return false;
    rowids.clear();
    if (first.lastRowid() - first.firstRowid() + 1 != first.count()) {
        rowids.reserve(size_t(first.count()));
        first.forEachRowid([this](qint64, qint64 rowid) { rowids.push_back(rowid); });
    }
    return true;
}
