#include "summaryblockfile.h"

#include <QDataStream>
#include <QFile>
#include <sqlite3.h>

namespace {

// The format's number is part of the table's name: another format is not read.
const char Table[] = "summary_blocks_1";

QDataStream &operator<<(QDataStream &out, const SummaryTotals &totals)
{
    return out << totals.numbers << totals.hh << totals.ll << totals.unreadable << totals.minimumRow
               << totals.maximumRow << totals.minimum << totals.maximum << totals.sum << totals.sumError;
}

QDataStream &operator>>(QDataStream &in, SummaryTotals &totals)
{
    return in >> totals.numbers >> totals.hh >> totals.ll >> totals.unreadable >> totals.minimumRow
              >> totals.maximumRow >> totals.minimum >> totals.maximum >> totals.sum >> totals.sumError;
}

QByteArray encode(const SummaryBlocks &blocks)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint64(blocks.size());
    for (const SummaryBlock &block : blocks) {
        out << block.fromRow << block.toRow << block.records << block.stamped << block.firstStamp << block.lastStamp
            << qint64(block.columns.size());
        for (const BlockColumn &column : block.columns)
            out << column.values << column.castMinimum << column.castMaximum << column.totals;
    }
    return bytes;
}

std::shared_ptr<const SummaryBlocks> decode(const QByteArray &bytes)
{
    QDataStream in(bytes);
    auto blocks = std::make_shared<SummaryBlocks>();
    qint64 count = 0;
    in >> count;
    // Every block takes more than 64 bytes: a count beyond that is no count.
    for (qint64 i = 0; i < count && count <= bytes.size() / 64 && in.status() == QDataStream::Ok; ++i) {
        SummaryBlock block;
        qint64 columns = 0;
        in >> block.fromRow >> block.toRow >> block.records >> block.stamped >> block.firstStamp >> block.lastStamp
            >> columns;
        if (columns < 0 || columns > 2) // a family has one or two value columns
            return nullptr;
        for (qint64 c = 0; c < columns && in.status() == QDataStream::Ok; ++c) {
            BlockColumn column;
            in >> column.values >> column.castMinimum >> column.castMaximum >> column.totals;
            block.columns << column;
        }
        *blocks << block;
    }
    const bool whole = in.status() == QDataStream::Ok && in.atEnd() && blocks->size() == count;
    return whole ? blocks : nullptr;
}

class SumsFile
{
public:
    SumsFile(const QString &database, int flags)
    {
        if (sqlite3_open_v2(QFile::encodeName(database + QStringLiteral(".sums")).constData(), &db, flags, nullptr)
            == SQLITE_OK)
            sqlite3_busy_timeout(db, 2000);
    }
    ~SumsFile() { sqlite3_close(db); }
    // Runs `statement` with text parameters and at most one blob; true when it ran to its end.
    bool run(const QByteArray &statement, const QList<QByteArray> &texts, const QByteArray *blob = nullptr,
             QByteArray *answer = nullptr)
    {
        sqlite3_stmt *prepared = nullptr;
        if (!db || sqlite3_prepare_v2(db, statement.constData(), -1, &prepared, nullptr) != SQLITE_OK)
            return false;
        for (int i = 0; i < texts.size(); ++i)
            sqlite3_bind_text(prepared, i + 1, texts.at(i).constData(), int(texts.at(i).size()), SQLITE_STATIC);
        if (blob)
            sqlite3_bind_blob(prepared, int(texts.size()) + 1, blob->constData(), int(blob->size()), SQLITE_STATIC);
        int step = sqlite3_step(prepared);
        if (answer && step == SQLITE_ROW)
            *answer = QByteArray(static_cast<const char *>(sqlite3_column_blob(prepared, 0)),
                                 sqlite3_column_bytes(prepared, 0));
        while (step == SQLITE_ROW)
            step = sqlite3_step(prepared);
        sqlite3_finalize(prepared);
        return step == SQLITE_DONE;
    }

private:
    sqlite3 *db = nullptr;
};

bool writeEntry(const QString &database, const QByteArray &key, const QByteArray &prefix, const QByteArray &bytes)
{
    SumsFile file(database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    return file.run("begin immediate", {})
        && file.run(QByteArray("create table if not exists ") + Table + " (key text primary key, blocks blob)", {})
        && file.run(QByteArray("delete from ") + Table + " where substr(key, 1, length(?1)) != ?1", {prefix})
        && file.run(QByteArray("insert or replace into ") + Table + " values (?, ?)", {key}, &bytes)
        && file.run("commit", {});
}

} // namespace

std::shared_ptr<const SummaryBlocks> loadSummaryBlocks(const QString &database, const QString &key)
{
    if (!QFile::exists(database + QStringLiteral(".sums")))
        return nullptr;
    SumsFile file(database, SQLITE_OPEN_READONLY);
    QByteArray bytes;
    if (!file.run(QByteArray("select blocks from ") + Table + " where key = ?", {key.toUtf8()}, nullptr, &bytes))
        return nullptr;
    return bytes.isEmpty() ? nullptr : decode(bytes);
}

void saveSummaryBlocks(const QString &database, const QString &key, const QString &state, const SummaryBlocks &blocks)
{
    const QByteArray bytes = encode(blocks);
    const QByteArray prefix = state.toUtf8() + '\n';
    // A damaged file is made anew: it holds nothing that cannot be summed up again.
    if (!writeEntry(database, key.toUtf8(), prefix, bytes) && QFile::remove(database + QStringLiteral(".sums")))
        writeEntry(database, key.toUtf8(), prefix, bytes);
}
