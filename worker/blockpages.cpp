#include "blockpages.h"

#include "readtransaction.h"

#include <QCoreApplication>
#include <atomic>
#include <sqlite3.h>
#include <thread>

BlockPages::BlockPages(sqlite3 *handle, const SearchDescription &search)
    : handle(handle), condition(search.condition)
{
    for (std::unique_ptr<TablePages> &reader : readers)
        reader = std::make_unique<TablePages>(handle, search.table);
    // Columns of text hold texts, blobs and NULL alone, which the condition
    // reads here as the statements do; bounds beyond a double's integers
    // SQLite compares otherwise.
    for (const QString &column : search.columns) {
        valueIndexes << int(readers[0]->columnNames().indexOf(column));
        if (!readers[0]->holdsText(valueIndexes.last()))
            refused = QCoreApplication::translate("BlockPages", "a searched column is not one of text");
    }
    if (valueIndexes.size() > MaxColumns)
        refused = QCoreApplication::translate("BlockPages", "more columns are searched than it reads");
    if (!matchedInDoubles(condition))
        refused = QCoreApplication::translate("BlockPages", "a bound lies beyond a double's integers");
}

QString BlockPages::refusal() const
{
    return refused.isEmpty() ? readers[0]->refusal() : refused;
}

bool BlockPages::read(QVector<SearchedBlock> &blocks, const QVector<int> &which, const std::function<bool()> &cancelled)
{
    SearchedBlock *filled = blocks.data(); // detached here, before the threads
    failure.clear();
    for (qsizetype first = 0; first < which.size(); first += BatchBlocks) {
        ReadTransaction transaction(handle);
        if (!transaction.error().isEmpty()) {
            failure = transaction.error();
            return false;
        }
        if (!readBatch(filled, which.constData() + first, qMin(BatchBlocks, which.size() - first), cancelled))
            return false;
    }
    return true;
}

bool BlockPages::readBatch(SearchedBlock *blocks, const int *which, qsizetype count, const std::function<bool()> &cancelled)
{
    std::atomic_bool stop{false};
    QString failures[2];
    // Alternate blocks: the shares stay even whatever the records hold.
    const auto readShare = [&](int reader) {
        for (qsizetype i = reader; i < count && !stop; i += 2) {
            if (cancelled() || !readBlock(*readers[size_t(reader)], blocks[which[i]])) {
                failures[reader] = readers[size_t(reader)]->error();
                stop = true;
            }
        }
    };
    std::thread second(readShare, 1);
    readShare(0);
    second.join();
    failure = failures[0].isEmpty() ? failures[1] : failures[0];
    return failure.isEmpty() && !cancelled();
}

bool BlockPages::readBlock(TablePages &pages, SearchedBlock &block) const
{
    const SummaryTotals none{};
    block.matching = 0;
    block.totals = QVector<SummaryTotals>(valueIndexes.size(), none);
    StoredValue values[MaxColumns];
    const int count = int(valueIndexes.size());
    return pages.read(block.fromRow, block.toRow, [&](qint64 rowid, const TablePages::Field *fields, int) {
        for (int i = 0; i < count; ++i) {
            const TablePages::Field &field = fields[valueIndexes.at(i)];
            values[i] = field.type == SQLITE_NULL ? StoredValue{} : StoredValue{field.bytes, field.size, field.type == SQLITE_TEXT};
        }
        if (!recordMatches(condition, values, count))
            return;
        ++block.matching;
        for (int i = 0; i < count; ++i)
            addStoredValue(block.totals[i], values[i].text, values[i].size, rowid);
    });
}
