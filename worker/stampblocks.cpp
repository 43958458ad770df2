#include "stampblocks.h"

#include "families.h"
#include "rowinserter.h"
#include "recordsums.h"
#include "summaryblocks.h"
#include "wallclock.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <limits>

namespace {

constexpr qint64 Earliest = std::numeric_limits<qint64>::min(), Latest = std::numeric_limits<qint64>::max();
// The first day a record's stamp can read; anything before it is no time.
constexpr char FirstDay[] = "0001-01-01";

} // namespace

StampBlocks StampBlocks::load(QSqlDatabase &db, const MeterFamily &family, int meter)
{
    return read(db, family, meter, RecordSums::keptBlockRowids(db, family, meter));
}

StampBlocks StampBlocks::loadBesideOverview(QSqlDatabase &db, const MeterFamily &family, int meter)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("select block_rowids from record_sums_state "
                                 "where tbl = ?1 and rowids = (select coalesce(max(rowid), 0) from main.%1)")
                      .arg(family.table(meter)));
    query.addBindValue(family.table(meter));
    return read(db, family, meter, query.exec() && query.next() ? query.value(0).toLongLong() : 0);
}

StampBlocks StampBlocks::ofCheckedSums(QSqlDatabase &db, const MeterFamily &family, int meter)
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
        Block block{Earliest, Latest, query.value(0).toLongLong(), 0, query.value(1).toByteArray(),
                    query.value(2).toByteArray()};
        // A stamp that is no plain reading (a year before 1) may lie anywhere.
        qint64 seconds = 0;
        if (naiveSeconds(block.firstText.constData(), block.firstText.size(), &seconds))
            block.first = seconds;
        if (naiveSeconds(block.lastText.constData(), block.lastText.size(), &seconds))
            block.last = seconds;
        if (block.first > block.last)
            block.first = Earliest, block.last = Latest;
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

QVector<StampBlocks::Group> StampBlocks::groups(qint64 from, qint64 to) const
{
    if (whole())
        return {Group{Rowids{Earliest, Latest}}};
    // The blocks that begin by `to`; of those, back to where none before reaches `from`.
    const auto end = std::upper_bound(blocks.begin(), blocks.end(), to,
                                      [](qint64 time, const Block &block) { return time < block.first; });
    auto begin = end;
    while (begin != blocks.begin() && std::prev(begin)->reach >= from)
        --begin;
    QVector<QVector<qint64>> grouped; // block numbers
    qint64 groupReach = Earliest;
    for (auto block = begin; block != end; ++block) {
        if (block->last < from)
            continue;
        // A block that begins before the group's last stamp interleaves with it.
        if (grouped.isEmpty() || block->first > groupReach)
            grouped.append(QVector<qint64>());
        grouped.last() << block->block;
        groupReach = std::max(groupReach, block->last);
    }
    QVector<Group> groups;
    for (QVector<qint64> &numbers : grouped) {
        std::sort(numbers.begin(), numbers.end());
        Group group;
        for (qint64 k : std::as_const(numbers)) {
            if (!group.isEmpty() && group.last().last + 1 == k * blockRowids)
                group.last().last = (k + 1) * blockRowids - 1;
            else
                group << Rowids{k * blockRowids, (k + 1) * blockRowids - 1};
        }
        groups << group;
    }
    return groups;
}

QString StampBlocks::firstReadable(QSqlDatabase &db, const QString &table) const
{
    if (whole())
        return readableByStatement(db, table, false, nullptr);
    // A block's least stamp is its first readable one unless it reads before the year 1.
    QByteArray first;
    for (const Block &block : blocks) {
        QByteArray candidate = block.firstText;
        if (candidate < FirstDay && block.lastText >= FirstDay) {
            const Rowids rowids{block.block * blockRowids, (block.block + 1) * blockRowids - 1};
            candidate = readableByStatement(db, table, false, &rowids).toUtf8();
        }
        if (candidate >= FirstDay && (first.isEmpty() || candidate < first))
            first = candidate;
    }
    return QString::fromUtf8(first);
}

QString StampBlocks::lastReadable(QSqlDatabase &db, const QString &table) const
{
    if (whole())
        return readableByStatement(db, table, true, nullptr);
    QByteArray last;
    for (const Block &block : blocks) {
        if (block.lastText >= FirstDay && block.lastText > last)
            last = block.lastText;
    }
    return QString::fromUtf8(last);
}

QString StampBlocks::readableByStatement(QSqlDatabase &db, const QString &table, bool last, const Rowids *within) const
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("select %1(datetime(indate)) from main.%2 where datetime(indate) >= ?%3")
                      .arg(last ? QLatin1String("max") : QLatin1String("min"), table,
                           within ? QStringLiteral(" and rowid between ? and ?") : QString()));
    query.addBindValue(QString::fromLatin1(FirstDay));
    if (within) {
        query.addBindValue(within->first);
        query.addBindValue(within->last);
    }
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

QString StampBlocks::stretchStatement(const QString &columns, const QString &table, bool withinRowids)
{
    return QStringLiteral("select datetime(indate), rowid, %1 from main.%2 where datetime(indate) >= ?1 "
                          "and datetime(indate) < ?2%3")
        .arg(columns, table, withinRowids ? QStringLiteral(" and rowid between ?3 and ?4") : QString());
}
