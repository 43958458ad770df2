// The records of a search's blocks that are neither wholly in nor wholly out.
#include "sqlthread.h"

#include "blockpages.h"
#include "packedblocks.h"
#include "families.h"
#include "settings.h"
#include "summaryblocks.h"
#include "summaryfunction.h"
#include "tablecount.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <memory>
#include <sqlite3.h>

// A block whose every record is stamped inside the window is decided from
// its packed values, else read from the file's pages where the file and the
// search allow it; the others through SQLite, consecutive blocks in one statement.
bool SQLThread::readSearchedBlocks(const SearchDescription &search, qint64 blockRowids, QVector<SearchedBlock> &blocks,
                                   qint64 *read)
{
    std::vector<char> decided(size_t(blocks.size()), 0);
    if (!readPackedBlocks(search, blockRowids, blocks, decided))
        return false;
    const auto toRead = [&](int i) { return blocks.at(i).read && !decided[size_t(i)]; };
    const bool anyWhole = std::any_of(blocks.cbegin(), blocks.cend(), [&](const SearchedBlock &block) {
        return toRead(int(&block - blocks.constData())) && block.windowWhole;
    });
    std::unique_ptr<BlockPages> pages;
    if (anyWhole && handle) {
        pages = std::make_unique<BlockPages>(handle, search);
        if (!pages->refusal().isEmpty()) {
            noteReadPath(QStringLiteral("no page read: %1").arg(pages->refusal()), false);
            pages.reset();
        }
    }
    const auto fromPages = [&](int i) { return pages && toRead(i) && blocks.at(i).windowWhole; };
    QSqlQuery pass(db);
    pass.setForwardOnly(true);
    if (!pass.prepare(blockPassStatement(*search.family, Meter, search.search, search.chart, blockRowids))) {
        failQuery("查询命令出错1", pass);
        return false;
    }
    QVector<int> paged;
    for (int i = 0; i < blocks.size(); ++i) {
        if (fromPages(i)) {
            paged << i;
            *read += blocks.at(i).toRow - blocks.at(i).fromRow;
        }
    }
    if (!paged.isEmpty() && !pages->read(blocks, paged, [this] { return cancelRequested(); })) {
        if (cancelRequested())
            finishCancelled();
        else
            finishJob(JobOutcome::Failed, tr("The records could not be read from the database file: %1").arg(pages->error()));
        return false;
    }
    for (int first = 0; first < blocks.size();) {
        if (!toRead(first) || fromPages(first)) {
            ++first;
            continue;
        }
        int last = first;
        while (last + 1 < blocks.size() && toRead(last + 1) && !fromPages(last + 1)
               && blocks.at(last + 1).fromRow == blocks.at(last).toRow)
            ++last;
        bindWindow(pass, search.search.st, search.search.en);
        pass.bindValue(QStringLiteral(":rowfrom"), blocks.at(first).fromRow);
        pass.bindValue(QStringLiteral(":rowto"), blocks.at(last).toRow);
        if (!pass.exec()) {
            failQuery("查询命令出错1", pass);
            return false;
        }
        while (pass.next()) {
            SearchedBlock &block = blocks[first + int(pass.value(0).toLongLong() - blocks.at(first).fromRow / blockRowids)];
            block.matching = pass.value(1).toLongLong();
            for (int c = 2; c < pass.record().count(); ++c)
                block.totals << summaryTotals(pass.value(c));
        }
        if (pass.lastError().isValid() || cancelRequested()) {
            failQuery("查询命令出错1", pass);
            return false;
        }
        *read += blocks.at(last).toRow - blocks.at(first).fromRow;
        first = last + 1;
    }
    pass.finish();
    if (!paged.isEmpty())
        noteReadPath(QStringLiteral("%1 blocks from the file's pages on 2 cores").arg(paged.size()), false);
    return true;
}

bool SQLThread::readPackedBlocks(const SearchDescription &search, qint64 blockRowids, QVector<SearchedBlock> &blocks,
                                 std::vector<char> &decided)
{
    QVector<int> whole, filled;
    for (int i = 0; i < blocks.size(); ++i) {
        if (blocks.at(i).read && blocks.at(i).windowWhole)
            whole << i;
    }
    if (whole.isEmpty() || !handle)
        return true;
    PackedBlocks packed(handle, search, blockRowids);
    if (!packed.read(blocks, whole, &filled, [this] { return cancelRequested(); })) {
        if (cancelRequested())
            finishCancelled();
        else
            finishJob(JobOutcome::Failed, tr("The records could not be read from the database file: %1").arg(packed.error()));
        return false;
    }
    for (int i : std::as_const(filled))
        decided[size_t(i)] = 1;
    if (!filled.isEmpty())
        noteReadPath(QStringLiteral("%1 blocks from their packed values").arg(filled.size()), false);
    return true;
}

QByteArray SQLThread::recordsState()
{
    return databaseFileState(db.databaseName());
}

bool SQLThread::searchIsStale(const SearchDescription &search)
{
    return searchedKey != search.key || searchedState != recordsState();
}

void SQLThread::keepSearch(const SearchDescription &search, const QVector<SearchedBlock> &blocks, const QByteArray &state)
{
    searchedKey = search.key;
    searchedState = state;
    searched = blocks;
}
