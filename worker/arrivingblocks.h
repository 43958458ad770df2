#ifndef ARRIVINGBLOCKS_H
#define ARRIVINGBLOCKS_H

#include "gatheredblock.h"
#include "overviewspans.h"
#include "packedcolumns.h"
#include "recordlinereader.h"

#include <QList>
#include <QStringList>
#include <memory>
#include <vector>

// The sums and packed values of the blocks of rowids an import stores,
// gathered from its parsed lines on the parsing core as block_sums() and
// block_packed() would gather the stored rows, and the overview's minutes
// summed up from the packed blocks as a build reads them. A block with a
// record whose stamp or value SQLite may read otherwise than this reads the
// line (a stamp outside the plain layout, a text that is a number only in
// part) is left to those functions once its rows are stored, and the
// overview to a build after the import.
class ArrivingBlocks
{
public:
    // The value columns, the fields of a record that hold them, and its stamp's.
    ArrivingBlocks(const QStringList &columns, const QList<int> &valueFields, int stampField, qint64 blockRowids);
    ~ArrivingBlocks();

    const QStringList &columns() const { return valueColumns; }
    qint64 rowidsPerBlock() const { return blockRowids; }
    // The rowid the next record added is stored under.
    void expect(qint64 rowid);
    qint64 nextRowid() const { return next; }
    void add(const RecordBatch &batch);
    // Ends the last block.
    void finish();
    // Gathers no more: the records were not stored under the rowids expected.
    void abandon() { givenUp = true; }
    bool abandoned() const { return givenUp; }
    // Sums up no minutes of the overview.
    void leaveOverview() { overviewLeft = true; }
    // Whether every block was packed, so that the minutes hold every record.
    bool overviewGathered() const { return !overviewLeft && !givenUp; }
    // The minutes closed since the last call, each batch in the order of its minutes.
    std::vector<OverviewSpans::Closed> takeClosedMinutes();

    struct Block {
        qint64 number = 0;
        QByteArray sums, packed; // as block_sums() and block_packed() give them
    };
    // The blocks gathered and ended since the last call, in rowid order.
    std::vector<Block> takeEnded();
    // The blocks to be summed up from their stored rows.
    const QList<qint64> &leftToSqlite() const { return left; }
    qint64 blocksEnded() const { return endedCount; }

    // A value's text as the totals and packed values read it, and
    // cast(text as real), where SQLite converts the text as this reads it;
    // false for any other.
    struct Value {
        PackedValues::Kind kind = PackedValues::Kind::Unreadable;
        double number = 0, cast = 0;
    };
    static bool readValue(const char *text, qsizetype size, Value *value);

private:
    void addRecord(const FieldSpan *fields, qint64 rowid);
    void endBlock();
    void addMinutes(const QByteArray &packed);

    QStringList valueColumns;
    QList<int> valueFields;
    int stampField;
    qint64 blockRowids;
    qint64 next = 1, current = -1, endedCount = 0;
    bool readable = true, givenUp = false;
    std::unique_ptr<GatheredBlock> block;
    std::vector<Block> ended;
    QList<qint64> left;
    bool overviewLeft = false;
    OverviewSpans minutes;
    PackedColumns packedBlock;
    std::vector<OverviewSpans::Closed> closedMinutes;
};

#endif
