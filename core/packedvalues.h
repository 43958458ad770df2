#ifndef PACKEDVALUES_H
#define PACKEDVALUES_H

#include <QByteArray>
#include <QByteArrayView>
#include <cstring>
#include <vector>

// One value column of a block of records in a byte or two a value, built
// once when the records arrive: each number as a whole multiple of a power
// of ten where it reads back exactly as its text does, the markers and
// unreadable values as codes of their own. A search whose condition cuts
// a block decides its records from these without reading the rows.
class PackedValues
{
public:
    enum class Kind : quint8 { Number, High, Low, Unreadable };

    // A stored value as the statements and the totals read it: NULL and a
    // text that is no number are unreadable. False for a value no column of
    // text holds (a blob): such a block is not packed.
    static bool kindOf(const char *text, qsizetype size, bool isText, Kind *kind, double *number);

    struct Entry {
        qint64 rowid;
        Kind kind;
        double number;
    };
    // The packed form of a column's values in ascending rowids; none when
    // the rowids do not ascend.
    static QByteArray pack(const std::vector<Entry> &entries);

    // False when the bytes are no packed values.
    bool open(QByteArrayView bytes);
    qint64 count() const { return records; }
    qint64 firstRowid() const { return first; }
    qint64 lastRowid() const { return last; }
    Kind kindAt(qint64 i, double *number) const;
    // Whether both list the same rowids.
    bool sameRecords(const PackedValues &other) const;

    // Widths 1, 2 and 4 hold codes: numbers below `NumberCodes` and the
    // four codes at the top; width 8 holds doubles.
    int valueWidth() const { return width; }
    // The values as stored, `valueWidth()` bytes each, low byte first.
    const uchar *storedValues() const { return values; }
    quint32 codeAt(qint64 i) const;
    double numberOf(qint64 code) const;
    // The first code whose number is not below `bound` (`strictly`: is above
    // it); the numbers ascend with their codes.
    quint32 firstCode(double bound, bool strictly) const;
    double doubleAt(qint64 i) const;
    quint32 numberCodes() const { return topCode - 3; }
    Kind kindOfCode(quint32 code) const;
    bool negativeZero(quint32 code) const { return code == topCode - 3; }
    // Calls `visit(i, rowid)` for every record in rowid order.
    template<typename Visit>
    void forEachRowid(Visit visit) const;
    // The codes stored `Code`'s width apart, read without asking each value's width.
    template<typename Code>
    struct Codes {
        const uchar *stored;
        quint32 operator[](qint64 i) const
        {
            Code code;
            memcpy(&code, stored + i * qint64(sizeof(Code)), sizeof(Code));
            return quint32(code);
        }
    };
    // Calls `visit(codes)` with the codes as Codes of their width; false for doubles.
    template<typename Visit>
    bool visitCodes(Visit &&visit) const
    {
        switch (width) {
        case 1: visit(Codes<quint8>{values}); return true;
        case 2: visit(Codes<quint16>{values}); return true;
        case 4: visit(Codes<quint32>{values}); return true;
        }
        return false;
    }

private:
    quint32 topCode = 0;

    const uchar *values = nullptr;
    const uchar *present = nullptr; // a bit per rowid from first to last; none when they are consecutive
    qint64 records = 0, first = 0, last = 0, base = 0;
    int width = 0, decimals = 0;
};

template<typename Visit>
void PackedValues::forEachRowid(Visit visit) const
{
    if (!present) {
        for (qint64 i = 0; i < records; ++i)
            visit(i, first + i);
        return;
    }
    qint64 i = 0;
    for (qint64 offset = 0; offset <= last - first; ++offset) {
        if (present[offset >> 3] & (1u << (offset & 7)))
            visit(i++, first + offset);
    }
}

#endif
