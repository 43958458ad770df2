#ifndef PACKEDPOINTS_H
#define PACKEDPOINTS_H

#include "excursions.h"
#include "packedcolumns.h"
#include "packedrecords.h"

#include <QList>
#include <QString>

struct sqlite3;

// The records of a value column as the walk through a window reads them
// (pointOf()), from the packed stamps and values kept beside the sums: a
// block's stamps decoded once while the walk's ranges go through it, each
// record's value only where a range asks for it.
class PackedPoints
{
public:
    // `blockRowids`: of the sums kept as the table stands.
    PackedPoints(sqlite3 *handle, const QString &table, const QString &column, qint64 blockRowids);

    // Appends the records of rowids [first, last] in rowid order; false,
    // with nothing appended, where a block they lie in is not packed.
    bool read(qint64 first, qint64 last, QList<ExcursionPoint> *points);
    // Loads a block's records; none where it is not packed.
    const PackedRecords *load(qint64 block);

private:
    PackedColumns block; // of the one column
    qint64 loadedBlock = -1;
    bool loadedPacked = false;
    PackedRecords records;
};

#endif
