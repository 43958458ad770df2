#ifndef PACKEDCOLUMNS_H
#define PACKEDCOLUMNS_H

#include "nativestatement.h"
#include "packedstamps.h"
#include "packedvalues.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

struct sqlite3;

// The records of a block of one or more value columns from their packed
// stamps and values, read without their rows: by the overview's build and
// by the walk through a window.
class PackedColumns
{
public:
    // `blockRowids`: of the sums kept as the table stands (0: none).
    PackedColumns(sqlite3 *handle, const QString &table, const QStringList &columns, qint64 blockRowids);
    qint64 rowidsPerBlock() const { return blockRowids; }

    // Whether block k's stamps and every column of it are packed, listing
    // the same records; then its records are read below.
    bool load(qint64 block);
    // The same of block k's packed stamps, then columns, given.
    bool open(qint64 block, const QList<QByteArray> &packed);
    qint64 count() const { return columns.front().count(); }
    qint64 secondsAt(qint64 i) const { return stamps.seconds()[size_t(i)]; }
    qint64 rowidAt(qint64 i) const { return rowids.empty() ? columns.front().firstRowid() + i : rowids[size_t(i)]; }
    PackedValues::Kind kindAt(int column, qint64 i, double *number) const
    {
        return columns[size_t(column)].kindAt(i, number);
    }
    const PackedValues &column(int c) const { return columns[size_t(c)]; }
    const std::vector<qint64> &seconds() const { return stamps.seconds(); }
    // Of each record where the block has gaps; empty where its rowids are consecutive.
    const std::vector<qint64> &gappedRowids() const { return rowids; }

private:
    bool holdsBlock(qint64 block);

    NativeStatement statement;
    const QString table;
    const QStringList names;
    const qint64 blockRowids;
    PackedStamps stamps;
    std::vector<QByteArray> bytes; // what `columns` read
    std::vector<PackedValues> columns;
    std::vector<qint64> rowids; // where the block has gaps
};

#endif
