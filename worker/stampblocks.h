#ifndef STAMPBLOCKS_H
#define STAMPBLOCKS_H

#include "nativestatement.h"
#include "wallclock.h"

#include <QSqlDatabase>
#include <QVector>
#include <algorithm>
#include <sqlite3.h>
#include <vector>

struct MeterFamily;

// Where the records of a stretch of time lie, from the least and greatest
// stamp kept with the sums of each block of rowids. It stands in for an
// index on the stamps, which would cost a third of the records' own bytes
// and seconds more after every import.
class StampBlocks
{
public:
    // Rowids first..last, both included.
    struct Rowids {
        qint64 first;
        qint64 last;
    };

    // Of the sums kept as the meter's table stands; whole() without them.
    static StampBlocks load(QSqlDatabase &db, const MeterFamily &family, int meter);
    // Of sums that the caller's transaction has just brought up to date,
    // which need no check against the table.
    static StampBlocks ofUpdatedSums(QSqlDatabase &db, const MeterFamily &family, int meter);

    // Whether no sums told where the records lie: ranges() then gives one
    // range of every rowid.
    bool whole() const { return blockRowids <= 0; }
    // Rowid ranges that hold every record stamped within [from, to] (naive
    // seconds), in time order: a range's records of the stretch all come
    // before those of the next.
    QVector<Rowids> ranges(qint64 from, qint64 to) const;

    // Steps a statement of the records stamped within [from, to) (naive
    // seconds; their stamp texts bound as ?1 and ?2): `byTime` where whole(),
    // else `withinRowids`, which also binds ?3 and ?4 to each range's rowids,
    // the latest range first when `backwards`. visit(row) each row until it
    // returns false; false when SQLite failed.
    template<class Visit>
    bool step(NativeStatement &byTime, NativeStatement &withinRowids, qint64 from, qint64 to, Visit &&visit,
              bool backwards = false) const
    {
        bool going = true;
        const auto stepAll = [&](NativeStatement &rows) {
            rows.bind(1, stampText(from));
            rows.bind(2, stampText(to));
            int code;
            while ((code = rows.step()) == SQLITE_ROW && (going = visit(*rows))) {
            }
            rows.reset();
            return code == SQLITE_ROW || code == SQLITE_DONE;
        };
        if (whole())
            return stepAll(byTime);
        QVector<Rowids> within = ranges(from, to - 1);
        if (backwards)
            std::reverse(within.begin(), within.end());
        for (auto range = within.cbegin(); range != within.cend() && going; ++range) {
            withinRowids.bind(3, range->first);
            withinRowids.bind(4, range->last);
            if (!stepAll(withinRowids))
                return false;
        }
        return true;
    }

    // The least and greatest readable stamp of the table, as datetime() gives
    // them; empty where there is none. A number as stamp reads as a day of
    // the year -4713, which is no record's time: they leave it out.
    QString firstReadable(QSqlDatabase &db, const QString &table) const { return readableEnd(db, table, false); }
    QString lastReadable(QSqlDatabase &db, const QString &table) const { return readableEnd(db, table, true); }

private:
    QString readableEnd(QSqlDatabase &db, const QString &table, bool last) const;
    static StampBlocks read(QSqlDatabase &db, const MeterFamily &family, int meter, qint64 blockRowids);

    struct Block {
        qint64 first, last; // naive seconds of the least and greatest stamp
        qint64 block;
        qint64 reach; // the greatest `last` of this block and every block before it
    };
    qint64 blockRowids = 0;
    std::vector<Block> blocks; // by first stamp
};

#endif
