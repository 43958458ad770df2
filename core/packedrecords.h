#ifndef PACKEDRECORDS_H
#define PACKEDRECORDS_H

#include "excursions.h"
#include "packedvalues.h"

#include <cstring>
#include <vector>

// Each code's number and kinetic term, worked out once a block.
class CodeNumbers
{
public:
    struct Number {
        double value, kinetic;
    };
    explicit CodeNumbers(const PackedValues &values) : values(values) {}
    // Of a code below numberCodes().
    Number of(quint32 code)
    {
        if (code < known.size() && known[code].worked)
            return known[code].number;
        return work(code);
    }

private:
    Number work(quint32 code);

    struct Known {
        Number number;
        bool worked;
    };
    static constexpr quint32 CachedCodes = 1u << 16; // those of two bytes
    const PackedValues &values;
    std::vector<Known> known;
};

// The codes of a block stored `Code`'s width apart, read without asking
// each value's width.
template<typename Code>
struct CodeColumn {
    const uchar *stored;
    quint32 operator[](qint64 i) const
    {
        Code code;
        memcpy(&code, stored + i * qint64(sizeof(Code)), sizeof(Code));
        return quint32(code);
    }
};

// Calls `visit(codes)` with the block's codes as a CodeColumn of their
// width; false for a block of doubles.
template<typename Visit>
bool visitCodes(const PackedValues &values, Visit &&visit)
{
    switch (values.valueWidth()) {
    case 1: visit(CodeColumn<quint8>{values.storedValues()}); return true;
    case 2: visit(CodeColumn<quint16>{values.storedValues()}); return true;
    case 4: visit(CodeColumn<quint32>{values.storedValues()}); return true;
    }
    return false;
}

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
