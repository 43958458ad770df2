#include "packedpoints.h"

#include "recordsums.h"

#include <algorithm>
#include <sqlite3.h>

PackedPoints::PackedPoints(sqlite3 *handle, const QString &table, const QString &column, qint64 blockRowids)
    : statement(handle, RecordSums::packedRowStatement()),
      table(table), column(column), blockRowids(blockRowids)
{
}

bool PackedPoints::read(qint64 first, qint64 last, QList<ExcursionPoint> *points)
{
    if (blockRowids <= 0 || !statement.ok() || last < first)
        return false;
    const qsizetype before = points->size();
    points->reserve(before + qMin<qint64>(last - first + 1, 1 << 20));
    for (qint64 block = first / blockRowids; block <= last / blockRowids; ++block) {
        if (!load(block)) {
            points->resize(before);
            return false;
        }
        const qint64 from = qMax(first, values.firstRowid()), to = qMin(last, values.lastRowid());
        if (rowids.empty()) { // consecutive rowids: a record's place is its rowid's
            for (qint64 rowid = from; rowid <= to; ++rowid)
                points->append(records.pointAt(rowid - values.firstRowid()));
            continue;
        }
        for (auto at = std::lower_bound(rowids.cbegin(), rowids.cend(), from); at != rowids.cend() && *at <= to; ++at)
            points->append(records.pointAt(at - rowids.cbegin()));
    }
    return true;
}

const PackedRecords *PackedPoints::load(qint64 block)
{
    if (block == loadedBlock)
        return loadedPacked ? &records : nullptr;
    loadedBlock = block;
    loadedPacked = false;
    rowids.clear();
    bool stampsRead = false;
    // A row that cannot be read is no packed row: the pages answer, or say why not.
    if (!RecordSums::packedRow(statement, table, QStringLiteral("indate"), block,
                               [this, &stampsRead](QByteArrayView bytes) { stampsRead = stamps.open(bytes); })
        || !RecordSums::packedRow(statement, table, column, block, &valueBytes))
        return nullptr;
    if (!stampsRead || !values.open(valueBytes) || qint64(stamps.seconds().size()) != values.count()
        || values.firstRowid() < block * blockRowids || values.lastRowid() >= (block + 1) * blockRowids)
        return nullptr;
    if (values.lastRowid() - values.firstRowid() + 1 != values.count()) {
        rowids.reserve(size_t(values.count()));
        values.forEachRowid([this](qint64, qint64 rowid) { rowids.push_back(rowid); });
    }
    records = PackedRecords{&values, stamps.seconds().data(), rowids.empty() ? nullptr : rowids.data(),
                            std::is_sorted(stamps.seconds().cbegin(), stamps.seconds().cend())};
    loadedPacked = true;
    return &records;
}
