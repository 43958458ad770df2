#ifndef STAMPBLOCKS_H
#define STAMPBLOCKS_H

#include "nativestatement.h"
#include "wallclock.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QVector>
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
    // Blocks of consecutive rowids whose stamps interleave: read together,
    // their records come in time order only once sorted.
    using Group = QVector<Rowids>;

    // Of the sums kept as the meter's table stands; whole() without them.
    static StampBlocks load(QSqlDatabase &db, const MeterFamily &family, int meter);
    // Of sums whose build ended at the table's greatest rowid, the check the
    // overview's minutes pass too: for what reads them, at every zoom step.
    static StampBlocks loadBesideOverview(QSqlDatabase &db, const MeterFamily &family, int meter);
    // Of sums that the caller has just checked against the table, or
    // brought up to date in its transaction: no second check.
    static StampBlocks ofCheckedSums(QSqlDatabase &db, const MeterFamily &family, int meter);

    // Whether no sums told where the records lie: groups() then gives one
    // group of every rowid.
    bool whole() const { return blockRowids <= 0; }
    // The rowids per block of the sums read, else 0.
    qint64 rowidsPerBlock() const { return blockRowids; }
    // The groups of blocks that hold every record stamped within [from, to]
    // (naive seconds), in time order: a group's records of the stretch all
    // come before those of the next.
    QVector<Group> groups(qint64 from, qint64 to) const;

    // A statement of `columns` of the records stamped in [?1, ?2), with
    // datetime(indate) and rowid first; `withinRowids`: of rowids ?3 to ?4 alone.
    static QString stretchStatement(const QString &columns, const QString &table, bool withinRowids);
    // Steps a statement of the records stamped within [from, to) (naive
    // seconds; their stamp texts bound as ?1 and ?2): `byTime` where whole(),
    // else `withinRowids` once a block run, which also binds ?3 and ?4 to
    // its rowids. visit(row) each row until it returns false; false when
    // SQLite failed. The rows of a group come a run at a time.
    template<class Visit>
    bool step(NativeStatement &byTime, NativeStatement &withinRowids, qint64 from, qint64 to, Visit &&visit) const
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
        for (const Group &group : groups(from, to - 1)) {
            for (auto run = group.cbegin(); run != group.cend() && going; ++run) {
                withinRowids.bind(3, run->first);
                withinRowids.bind(4, run->last);
                if (!stepAll(withinRowids))
                    return false;
            }
        }
        return true;
    }

    // The least and greatest readable stamp of the table, as datetime() gives
    // them; empty where there is none. A number as stamp reads as a day of
    // the year -4713, which is no record's time: they leave it out.
    QString firstReadable(QSqlDatabase &db, const QString &table) const;
    QString lastReadable(QSqlDatabase &db, const QString &table) const;

private:
    static StampBlocks read(QSqlDatabase &db, const MeterFamily &family, int meter, qint64 blockRowids);
    QString readableByStatement(QSqlDatabase &db, const QString &table, bool last, const Rowids *within) const;

    struct Block {
        qint64 first, last; // naive seconds of the least and greatest stamp
        qint64 block;
        qint64 reach; // the greatest `last` of this block and every block before it
        QByteArray firstText, lastText;
    };
    qint64 blockRowids = 0;
    std::vector<Block> blocks; // by first stamp
};

#endif
