#include "packedpoints.h"

#include <algorithm>
#include <sqlite3.h>

// A packed value's kind is a point's of the same name.
static_assert(int(PackedValues::Kind::Number) == ExcursionPoint::Number && int(PackedValues::Kind::High) == ExcursionPoint::High
              && int(PackedValues::Kind::Low) == ExcursionPoint::Low
              && int(PackedValues::Kind::Unreadable) == ExcursionPoint::Unreadable);

PackedPoints::PackedPoints(sqlite3 *handle, const QString &table, const QString &column, qint64 blockRowids)
    : statement(handle, QStringLiteral("select vals from record_packed where tbl = ?1 and col = ?2 and block = ?3")),
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
    QByteArray kept[2];
    const QString columns[2] = {QStringLiteral("indate"), column};
    for (int i = 0; i < 2; ++i) {
        statement.bind(1, table);
        statement.bind(2, columns[i]);
        statement.bind(3, block);
        if (statement.step() == SQLITE_ROW && sqlite3_column_type(*statement, 0) == SQLITE_BLOB)
            kept[i] = QByteArray(static_cast<const char *>(sqlite3_column_blob(*statement, 0)),
                                 sqlite3_column_bytes(*statement, 0));
        statement.reset();
    }
    valueBytes = kept[1];
    if (!stamps.open(kept[0]) || !values.open(valueBytes) || qint64(stamps.seconds().size()) != values.count()
        || values.firstRowid() < block * blockRowids || values.lastRowid() >= (block + 1) * blockRowids)
        return false;
    if (values.lastRowid() - values.firstRowid() + 1 != values.count()) {
        rowids.reserve(size_t(values.count()));
        values.forEachRowid([this](qint64, qint64 rowid) { rowids.push_back(rowid); });
    }
    loadedPacked = true;
    return true;
}
