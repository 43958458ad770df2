#include "packedblocks.h"

#include "nativestatement.h"
#include "packedsearch.h"
#include "readtransaction.h"
#include "recordsums.h"

#include <sqlite3.h>
#include <thread>

PackedBlocks::PackedBlocks(sqlite3 *handle, const SearchDescription &search, qint64 blockRowids)
    : handle(handle), search(search), blockRowids(blockRowids)
{
}

bool PackedBlocks::read(QVector<SearchedBlock> &blocks, const QVector<int> &which, QVector<int> *filled,
                        const std::function<bool()> &cancelled)
{
    failure.clear();
    if (!PackedSearch::answers(search.condition) || which.isEmpty())
        return true;
    NativeStatement values(handle, RecordSums::packedRowStatement());
    // Without the table of packed values (removed behind the program's back) the pages answer.
    if (!values.ok())
        return true;
    const PackedSearch packedSearch(search.condition);
    const int columns = int(search.columns.size());
    SearchedBlock *searched = blocks.data(); // detached here, before the threads
    for (qsizetype first = 0; first < which.size(); first += BatchBlocks) {
        const qsizetype count = qMin(BatchBlocks, which.size() - first);
        // Each block's columns, read under one transaction; none where a column is not packed.
        QVector<QByteArray> kept(count * columns);
        {
            ReadTransaction transaction(handle);
            if (!transaction.error().isEmpty()) {
                failure = transaction.error();
                return false;
            }
            for (qsizetype b = 0; b < count; ++b) {
                for (int c = 0; c < columns; ++c) {
                    if (!RecordSums::packedRow(values, search.table, search.columns.at(c),
                                               searched[which.at(first + b)].fromRow / blockRowids, &kept[b * columns + c])) {
                        failure = values.error();
                        return false;
                    }
                }
            }
        }
        if (cancelled())
            return false;
        std::vector<char> done(size_t(count), 0);
        // Alternate blocks: the shares stay even whatever the records hold.
        const auto searchShare = [&](qsizetype share) {
            PackedValues opened[8];
            for (qsizetype b = share; b < count; b += 2) {
                SearchedBlock &block = searched[which.at(first + b)];
                bool usable = columns <= 8;
                for (int c = 0; usable && c < columns; ++c) {
                    usable = opened[c].open(kept.at(b * columns + c)) && opened[c].firstRowid() >= block.fromRow
                        && opened[c].lastRowid() < block.toRow;
                }
                done[size_t(b)] = usable && packedSearch.search(opened, columns, block);
            }
        };
        std::thread second(searchShare, 1);
        searchShare(0);
        second.join();
        for (qsizetype b = 0; b < count; ++b) {
            if (done[size_t(b)])
                *filled << which.at(first + b);
        }
    }
    return true;
}
