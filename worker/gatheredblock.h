#ifndef GATHEREDBLOCK_H
#define GATHEREDBLOCK_H

#include "packedvalues.h"
#include "summaryblocks.h"

#include <QByteArray>
#include <vector>

// What block_sums() and block_packed() make of a block's records, whether
// SQLite hands them the stored rows or an import the lines it is storing:
// one rule for both, so that their results are the same bytes.
class GatheredBlock
{
public:
    explicit GatheredBlock(int columns);

    // block_sums(): a record's datetime(indate) (nullptr: NULL), then each
    // value column's value (nullptr: NULL) with cast(value as real).
    void addSumsStamp(const char *datetime, int bytes);
    void addSumsValue(int column, const char *text, int bytes, double cast, qint64 rowid);
    // The block_sums() result: none when no record was added.
    bool hasSums() const { return records > 0; }
    QByteArray sums() const;

    // block_packed(): a record's rowid and stamp as stored, then each value.
    void addPackedStamp(const char *indate, int bytes, bool isText);
    void addPackedValue(int column, const char *text, int bytes, bool isText, qint64 rowid);
    QByteArray packed() const;

    // Both at once, for a line already read: a stamp of the plain layout
    // (`seconds` read from it), and a text value read as `kind` (a number:
    // `number`, else 0) whose cast(value as real) is `cast`.
    void addPlainStamp(const char *stamp, qint64 seconds);
    void addReadValue(int column, PackedValues::Kind kind, double number, double cast, qint64 rowid);

private:
    static constexpr int StampRoom = 40; // datetime() gives at most 20 characters
    struct Stamp {
        int size = 0;
        char text[StampRoom];
        void keep(const char *from, int bytes);
        int compare(const char *with, int bytes) const;
    };
    void addCast(BlockColumn &values, double cast);
    void addEntry(size_t column, const PackedValues::Entry &entry);

    qint64 records = 0, stamped = 0;
    Stamp first, last;
    std::vector<BlockColumn> columns;

    std::vector<qint64> stamps;
    bool stampsRefused = false;
    std::vector<std::vector<PackedValues::Entry>> entries;
    std::vector<bool> refused;
};

// The block_sums() result as SummaryBlock's counts and columns; false when it is none.
bool readBlockSums(const QByteArray &result, SummaryBlock &block);
// The packed stamps, then the packed values of each column, of a
// block_packed() result, in the order of its arguments (empty: not packed).
QList<QByteArray> packedColumns(const QByteArray &result);

#endif
