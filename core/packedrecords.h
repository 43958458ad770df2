#ifndef PACKEDRECORDS_H
#define PACKEDRECORDS_H

#include "excursions.h"
#include "packedvalues.h"

// The records of one packed block as the walk through a window reads them:
// a value column's packed values beside the block's stamps.
struct PackedRecords {
    const PackedValues *values = nullptr;
    const qint64 *seconds = nullptr; // naive seconds of each record
    const qint64 *rowids = nullptr;  // where the block has gaps; else the first rowid's offsets
    bool inTimeOrder = false;        // their stamps never step back

    qint64 count() const { return values->count(); }
    qint64 rowidAt(qint64 i) const { return rowids ? rowids[i] : values->firstRowid() + i; }
    ExcursionPoint pointAt(qint64 i) const;
};

#endif
