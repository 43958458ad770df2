#ifndef WINDOWRECORDS_H
#define WINDOWRECORDS_H

#include "excursions.h"
#include "nativestatement.h"
#include "recordnumber.h"
#include "stampblocks.h"
#include "wallclock.h"

#include <QByteArrayView>
#include <algorithm>
#include <QList>
#include <QString>
#include <sqlite3.h>

struct MeterFamily;

// The records of `column` in [:from, :to) (naive seconds as stamp texts) in
// the order of the wall clock written, records stamped alike in table order;
// `withinRowids`: of rowids [:first, :last] alone.
QString windowStatement(const MeterFamily &family, const QString &column, bool withinRowids = false);

// A result row through SQLite's own handle.
struct NativeRow {
    sqlite3_stmt *row;
    QByteArrayView text(int i) const
    {
        return {reinterpret_cast<const char *>(sqlite3_column_text(row, i)), sqlite3_column_bytes(row, i)};
    }
    bool isNull(int i) const { return sqlite3_column_type(row, i) == SQLITE_NULL; }
    qint64 integer(int i) const { return sqlite3_column_int64(row, i); }
};

// A row of windowStatement().
template<class Row>
ExcursionPoint pointOf(const Row &row, const QList<int> &alarms)
{
    ExcursionPoint point;
    const auto stamp = row.text(0);
    naiveSeconds(stamp.data(), int(stamp.size()), &point.time);
    const auto text = row.text(1);
    point.rowid = row.integer(2);
    if (text == "HH" || text == "LL")
        point.kind = text == "HH" ? ExcursionPoint::High : ExcursionPoint::Low;
    else if (row.isNull(1) || !readRecordNumber(text.data(), int(text.size()), &point.value))
        point.kind = ExcursionPoint::Unreadable;
    for (int i = 0; i < alarms.size(); ++i) {
        const auto state = row.text(3 + i);
        if (alarmStateOn(state.data(), int(state.size())))
            point.alarms |= quint8(1u << (alarms.at(i) - 1));
    }
    return point;
}

// Reads the records of windowStatement() through SQLite's own handle, by
// their time (in the blocks that `stamps` says hold it) or by their rowids.
class NativeWindowRecords
{
public:
    NativeWindowRecords(sqlite3 *handle, const MeterFamily &family, const QString &column, const StampBlocks &stamps);
    bool ok() const { return statement.ok() && withinRowids.ok() && byRowid.ok(); }
    // visit(point) of each record of [from, to), until it returns false; false when SQLite failed.
    template<class Visit>
    bool read(qint64 from, qint64 to, Visit &&visit)
    {
        const auto bindStretch = [&](NativeStatement &rows) {
            rows.bind(1, stampText(from));
            rows.bind(2, stampText(to));
        };
        if (stamps.whole()) {
            bindStretch(statement);
            return readAll(statement, visit);
        }
        bool going = true;
        const auto visitWhileGoing = [&](const ExcursionPoint &point) { return going = visit(point); };
        for (const StampBlocks::Group &group : stamps.groups(from, to - 1)) {
            QList<ExcursionPoint> interleaved;
            const auto keep = [&](const ExcursionPoint &point) {
                interleaved << point;
                return true;
            };
            for (const StampBlocks::Rowids &run : group) {
                bindStretch(withinRowids);
                withinRowids.bind(3, run.first);
                withinRowids.bind(4, run.last);
                if (group.size() == 1 ? !readAll(withinRowids, visitWhileGoing) : !readAll(withinRowids, keep))
                    return false;
            }
            std::sort(interleaved.begin(), interleaved.end(), [](const ExcursionPoint &a, const ExcursionPoint &b) {
                return a.time != b.time ? a.time < b.time : a.rowid < b.rowid;
            });
            for (auto point = interleaved.cbegin(); point != interleaved.cend() && going; ++point)
                going = visit(*point);
            if (!going)
                break;
        }
        return true;
    }
    // The same of the records of rowids [first, last], in rowid order.
    template<class Visit>
    bool readRowids(qint64 first, qint64 last, Visit &&visit)
    {
        byRowid.bind(1, first);
        byRowid.bind(2, last);
        return readAll(byRowid, visit);
    }
    QString error() const { return statement.ok() ? withinRowids.error() : statement.error(); }
    // The alarm numbers whose states follow the value (pointOf()).
    const QList<int> &alarmNumbers() const { return alarms; }

private:
    template<class Visit>
    bool readAll(NativeStatement &rows, Visit &visit)
    {
        if (!rows.ok())
            return false;
        int code;
        while ((code = rows.step()) == SQLITE_ROW) {
            if (!visit(pointOf(NativeRow{*rows}, alarms)))
                break;
        }
        rows.reset();
        return code == SQLITE_ROW || code == SQLITE_DONE;
    }

    NativeStatement statement, withinRowids, byRowid;
    QList<int> alarms;
    StampBlocks stamps;
};

#endif
