#include "packedpoints.h"

#include <algorithm>

PackedPoints::PackedPoints(sqlite3 *handle, const QString &table, const QString &column, qint64 blockRowids)
    : block(handle, table, {column}, blockRowids)
{
}

bool PackedPoints::read(qint64 first, qint64 last, QList<ExcursionPoint> *points)
{
    const qint64 blockRowids = block.rowidsPerBlock();
    if (blockRowids <= 0 || last < first)
        return false;
    const qsizetype before = points->size();
    points->reserve(before + qMin<qint64>(last - first + 1, 1 << 20));
    for (qint64 k = first / blockRowids; k <= last / blockRowids; ++k) {
        if (!load(k)) {
            points->resize(before);
            return false;
        }
        const PackedValues &values = block.column(0);
        const std::vector<qint64> &rowids = block.gappedRowids();
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

const PackedRecords *PackedPoints::load(qint64 k)
{
    if (k == loadedBlock)
        return loadedPacked ? &records : nullptr;
    loadedBlock = k;
    // A row that cannot be read is no packed row: the pages answer, or say why not.
    loadedPacked = block.load(k);
    if (!loadedPacked)
        return nullptr;
    const std::vector<qint64> &seconds = block.seconds();
    records = PackedRecords{&block.column(0), seconds.data(),
                            block.gappedRowids().empty() ? nullptr : block.gappedRowids().data(),
                            std::is_sorted(seconds.cbegin(), seconds.cend())};
    return &records;
}
