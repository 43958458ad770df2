#include "packedpoints.h"

#include "recordsums.h"

#include <algorithm>
#include <sqlite3.h>

// A packed value's kind is a point's of the same name.
static_assert(int(PackedValues::Kind::Number) == ExcursionPoint::Number && int(PackedValues::Kind::High) == ExcursionPoint::High
              && int(PackedValues::Kind::Low) == ExcursionPoint::Low
              && int(PackedValues::Kind::Unreadable) == ExcursionPoint::Unreadable);

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
    for (qint64 block = first / blockRowids; block <= last / blockRowids; ++block) {
        if (!load(block)) {
            points->resize(before);
            return false;
        }
        const qint64 from = qMax(first, values.firstRowid()), to = qMin(last, values.lastRowid());
        if (rowids.empty()) { // consecutive rowids: a record's place is its rowid's
            for (qint64 rowid = from; rowid <= to; ++rowid)
                append(rowid - values.firstRowid(), rowid, points);
            continue;
        }
        for (auto at = std::lower_bound(rowids.cbegin(), rowids.cend(), from); at != rowids.cend() && *at <= to; ++at)
            append(at - rowids.cbegin(), *at, points);
    }
    return true;
}

void PackedPoints::append(qint64 i, qint64 rowid, QList<ExcursionPoint> *points) const
{
    ExcursionPoint point;
    point.time = stamps.seconds()[size_t(i)];
    point.rowid = rowid;
    point.kind = ExcursionPoint::Kind(int(values.kindAt(i, &point.value)));
    points->append(point);
}

bool PackedPoints::load(qint64 block)
{
    if (block == loadedBlock)
        return loadedPacked;
    loadedBlock = block;
    loadedPacked = false;
    rowids.clear();
    QByteArray stampBytes;
    // A row that cannot be read is no packed row: the pages answer, or say why not.
    if (!RecordSums::packedRow(statement, table, QStringLiteral("indate"), block, &stampBytes)
        || !RecordSums::packedRow(statement, table, column, block, &valueBytes))
        return false;
    if (!stamps.open(stampBytes) || !values.open(valueBytes) || qint64(stamps.seconds().size()) != values.count()
        || values.firstRowid() < block * blockRowids || values.lastRowid() >= (block + 1) * blockRowids)
        return false;
    if (values.lastRowid() - values.firstRowid() + 1 != values.count()) {
        rowids.reserve(size_t(values.count()));
        values.forEachRowid([this](qint64, qint64 rowid) { rowids.push_back(rowid); });
    }
    loadedPacked = true;
    return true;
}
