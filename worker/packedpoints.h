#ifndef PACKEDPOINTS_H
#define PACKEDPOINTS_H

#include "excursions.h"
#include "nativestatement.h"

#include <QList>
#include <QString>
#include <vector>

struct sqlite3;

// The records of a value column as the walk through a window reads them
// (pointOf()), from the packed stamps and values kept beside the sums: a
// block at a time, decoded once while the walk's ranges go through it.
class PackedPoints
{
public:
    // `blockRowids`: of the sums kept as the table stands.
    PackedPoints(sqlite3 *handle, const QString &table, const QString &column, qint64 blockRowids);

    // Appends the records of rowids [first, last] in rowid order; false,
    // with nothing appended, where a block they lie in is not packed.
    bool read(qint64 first, qint64 last, QList<ExcursionPoint> *points);

private:
    bool load(qint64 block);

    NativeStatement statement;
    const QString table, column;
    const qint64 blockRowids;
    qint64 loadedBlock = -1;
    bool loadedPacked = false;
    std::vector<ExcursionPoint> loaded; // in rowid order
};

#endif
