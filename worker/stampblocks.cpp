#include "stampblocks.h"

#include "families.h"
#include "rowinserter.h"
#include "recordsums.h"
#include "summaryblocks.h"
#include "wallclock.h"

#include <QSqlError>
#include <QTimeZone>
#include <QSqlQuery>
#include <algorithm>
#include <limits>

namespace {

constexpr qint64 Earliest = std::numeric_limits<qint64>::min(), Latest = std::numeric_limits<qint64>::max();

} // namespace

StampBlocks StampBlocks::load(QSqlDatabase &db, const MeterFamily &family, int meter)
{
    return read(db, family, meter, RecordSums::keptBlockRowids(db, family, meter));
}

StampBlocks StampBlocks::ofUpdatedSums(QSqlDatabase &db, const MeterFamily &family, int meter)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("select block_rowids from record_sums_state where tbl = ?"));
    query.addBindValue(family.table(meter));
    return read(db, family, meter, query.exec() && query.next() ? query.value(0).toLongLong() : 0);
}

StampBlocks StampBlocks::read(QSqlDatabase &db, const MeterFamily &family, int meter, qint64 blockRowids)
{
    StampBlocks stamps;
    const QStringList columns = everyValueColumn(family, meter);
    if (blockRowids <= 0 || columns.isEmpty())
        return stamps;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // Every column's blocks hold the same stamps.
    query.prepare(QStringLiteral("select block, first_stamp, last_stamp from record_sums "
                                 "where tbl = ? and col = ? and stamped > 0"));
    query.addBindValue(family.table(meter));
    query.addBindValue(columns.first());
    if (!query.exec())
        return stamps;
    while (query.next()) {
        Block block{Earliest, Latest, query.value(0).toLongLong(), 0};
        const QByteArray first = query.value(1).toByteArray(), last = query.value(2).toByteArray();
        // A stamp that is no plain reading (a year before 1) may lie anywhere.
        qint64 seconds = 0;
        if (naiveSeconds(first.constData(), first.size(), &seconds))
            block.first = seconds;
        if (naiveSeconds(last.constData(), last.size(), &seconds))
            block.last = seconds;
        if (block.first > block.last)
            block = {Earliest, Latest, block.block, 0};
        stamps.blocks.push_back(block);
    }
    if (query.lastError().isValid())
        return StampBlocks();
    std::sort(stamps.blocks.begin(), stamps.blocks.end(),
              [](const Block &a, const Block &b) { return a.first != b.first ? a.first < b.first : a.block < b.block; });
    qint64 reach = Earliest;
    for (Block &block : stamps.blocks)
        block.reach = reach = std::max(reach, block.last);
    stamps.blockRowids = blockRowids;
    return stamps;
}

QVector<StampBlocks::Rowids> StampBlocks::ranges(qint64 from, qint64 to) const
{
    if (whole())
        return {Rowids{Earliest, Latest}};
    // The blocks that begin by `to`; of those, back to where none before reaches `from`.
    const auto end = std::upper_bound(blocks.begin(), blocks.end(), to,
                                      [](qint64 time, const Block &block) { return time < block.first; });
    auto begin = end;
    while (begin != blocks.begin() && std::prev(begin)->reach >= from)
        --begin;
    QVector<Rowids> ranges;
    qint64 groupReach = Earliest;
    for (auto block = begin; block != end; ++block) {
        if (block->last < from)
            continue;
        const Rowids rowids{block->block * blockRowids, (block->block + 1) * blockRowids - 1};
        // A block that begins before the group's last stamp interleaves with it: one range, read in time order.
        if (!ranges.isEmpty() && block->first <= groupReach) {
            ranges.last().first = std::min(ranges.last().first, rowids.first);
            ranges.last().last = std::max(ranges.last().last, rowids.last);
        } else {
            ranges << rowids;
        }
        groupReach = std::max(groupReach, block->last);
    }
    return ranges;
}

QString StampBlocks::readableEnd(QSqlDatabase &db, const QString &table, bool last) const
{
    static const qint64 firstDay = naiveSeconds(QDateTime(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc()));
    static const qint64 pastLastDay = naiveSeconds(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), QTimeZone::utc())) + 1;
    const QString statement = QStringLiteral("select %1(datetime(indate)) from main.%2 where datetime(indate) >= ?1")
                                  .arg(last ? QLatin1String("max") : QLatin1String("min"), table);
    sqlite3 *handle = nativeHandleUsable(db) ? sqliteHandle(db) : nullptr;
    if (!handle) {
        QSqlQuery query(db);
        query.prepare(statement);
        query.addBindValue(stampText(firstDay));
        return query.exec() && query.next() ? query.value(0).toString() : QString();
    }
    NativeStatement byTime(handle, statement), withinRowids(handle, statement + QStringLiteral(" and rowid between ?3 and ?4"));
    QString end;
    // Ranges come in time order: the first that holds a stamp holds the end.
    step(byTime, withinRowids, firstDay, pastLastDay, [&](sqlite3_stmt *row) {
        if (sqlite3_column_type(row, 0) == SQLITE_NULL)
            return true;
        end = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, 0)));
        return false;
    }, last);
    return end;
}
