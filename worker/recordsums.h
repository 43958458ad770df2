#ifndef RECORDSUMS_H
#define RECORDSUMS_H

#include "summaryblocks.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <functional>
#include <optional>

struct MeterFamily;
class NativeStatement;

// The sums of blocks of rowids that searches are answered from. They live in
// record.db beside the records, in tables of this program's own, so they are
// replaced with them; a build that did not end leaves none, and the next
// search builds them again.
namespace RecordSums {

// The rowids per block of the builds from now on (tests use few).
void setBlockRowids(qint64 rowids);
qint64 blockRowids();

// Sums up every value column of every channel of the meter's table in
// blocks of `blockRowids` rowids and saves them in one transaction; SQLite's
// reason when that failed. The blocks of `columns` come back in `kept`, with
// `keptRowids` set, once all are summed up (also when they could not be saved).
QString build(QSqlDatabase &db, const MeterFamily &family, int meter, qint64 blockRowids,
           const QStringList &columns = {}, SummaryBlocks *kept = nullptr, qint64 *keptRowids = nullptr);

// Whether the last build packed its blocks on the second core, through a
// connection of its own (else in the same pass as their sums).
bool packedApartInLastBuild();

// Whether a whole build of the meter's table as it stands is kept: one that
// no longer makes sense of it (damaged, records renumbered) is not.
bool current(QSqlDatabase &db, const MeterFamily &family, int meter);
// The rowids per block of such a build, else 0.
qint64 keptBlockRowids(QSqlDatabase &db, const MeterFamily &family, int meter);

// An import's own build, within its transaction: a new build's tables
// (none of the table's kept), then the blocks as their records are stored,
// then the state that makes them count.
QString startWithImport(QSqlDatabase &db, const QString &table);
// A block's block_sums() and block_packed() results, gathered elsewhere.
QString saveGathered(QSqlDatabase &db, const QString &table, const QStringList &columns, qint64 block,
                     const QByteArray &sums, const QByteArray &packed);
// Blocks summed up from their stored rows.
QString saveSummed(QSqlDatabase &db, const QString &table, const QStringList &columns, const QList<qint64> &blocks,
                   qint64 blockRowids);
QString finishWithImport(QSqlDatabase &db, const QString &table, qint64 blockRowids);

// Rowids first..last, both included, whose records were added or removed.
struct RowidRange {
    qint64 first;
    qint64 last;
};

// Sums up again the blocks of the changed rowids of kept sums, within the
// caller's transaction; SQLite's reason when that failed.
QString update(QSqlDatabase &db, const MeterFamily &family, int meter, const QList<RowidRange> &changed,
               int *summedBlocks);

// The blocks of `columns` of a table, when a whole build of the table as it
// stands is kept; with the rowids per block.
std::optional<SummaryBlocks> load(QSqlDatabase &db, const QString &table, const QStringList &columns,
                                  qint64 *blockRowids);

// The statement that reads one row of packed values, for packedRow().
QString packedRowStatement();
// The packed bytes of a table's column (or "indate": its stamps) in block
// k, empty where there are none; false when SQLite failed.
bool packedRow(NativeStatement &statement, const QString &table, const QString &column, qint64 block, QByteArray *bytes);
// The same, handed to `use` while SQLite holds them (empty where there are none).
bool packedRow(NativeStatement &statement, const QString &table, const QString &column, qint64 block,
               const std::function<void(QByteArrayView)> &use);

} // namespace RecordSums

#endif
