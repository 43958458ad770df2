#ifndef PACKEDPOINTS_H
#define PACKEDPOINTS_H

#include "excursions.h"
#include "nativestatement.h"
#include "packedrecords.h"
#include "packedstamps.h"
#include "packedvalues.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

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
    NativeStatement statement;
    const QString table, column;
    const qint64 blockRowids;
    qint64 loadedBlock = -1;
    bool loadedPacked = false;
    QByteArray valueBytes; // what `values` reads
    PackedValues values;
    PackedStamps stamps;
    std::vector<qint64> rowids; // of the loaded block's records, where they have gaps
    PackedRecords records;
};

#endif
