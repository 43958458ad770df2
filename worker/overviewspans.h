#ifndef OVERVIEWSPANS_H
#define OVERVIEWSPANS_H

#include "overviewcells.h"

#include <QList>
#include <QStringList>

#include <unordered_map>
#include <utility>
#include <vector>

struct MeterFamily;
class PackedColumns;
struct sqlite3_stmt;

// The minutes of the overview being summed up from records met in any
// order: through SQLite, from a block's packed values, or from an import's
// lines as they arrive. Closing them leaves none open.
class OverviewSpans
{
public:
    // The records of a span: a cell per value column, and what is counted
    // once the span is whole, in time order: the steps between the records
    // and the markers of each column.
    struct Span {
        struct Record {
            qint64 time, rowid;
            size_t index; // into kinds
        };
        std::vector<OverviewCell> cells;
        std::vector<Record> records;
        std::vector<OverviewCell::Kind> kinds; // per record, a column after another
        std::vector<double> values;            // likewise, NaN where no number
        void close();
    };
    using Closed = std::vector<std::pair<qint64, Span>>; // in the order of their spans

    // What a statement of summed records selects: datetime(indate), rowid,
    // the value columns, then the alarm states of `alarmMasks` (per value
    // column, the bits of the alarms on it) for the alarms `alarms`.
    struct Columns {
        QStringList values;
        QList<int> alarms;
        std::vector<quint8> alarmMasks;
        Columns(const MeterFamily &family, const QStringList &values);
        QString selected() const;
    };

    explicit OverviewSpans(int columns);
    void addRow(sqlite3_stmt *row, const Columns &columns);
    // Every record of a block, as addRow() adds each read through SQLite.
    void addBlock(const PackedColumns &block);
    // Whether so many spans are open that they are to be closed now: eight
    // hours of one-second records, whose stamps, kinds and numbers are held
    // (of a 16-channel recorder, 5 MB).
    static constexpr size_t MostOpen = 512;
    bool full() const { return open.size() > MostOpen; }
    // The open spans, closed; `keepingLast`: but the one the last record fell
    // in, which the records that follow mostly go on filling (a span met
    // again once written is summed up again from its records).
    Closed close(bool keepingLast = false);

private:
    Span &spanOf(qint64 span);
    void addValue(Span &span, size_t column, OverviewPoint point, OverviewCell::Kind kind, double number);

    const int count;
    std::unordered_map<qint64, Span> open;
    qint64 lastSpan;
    Span *lastOpen = nullptr;
};

#endif
