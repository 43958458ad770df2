#include "summarypass.h"

#include "recorddatetime.h"
#include "recordtime.h"
#include "summaryfunction.h"

#include <QFile>
#include <sqlite3.h>

namespace {

// One statement on a raw handle.
class Statement
{
public:
    Statement(sqlite3 *db, const QString &text) { sqlite3_prepare_v2(db, text.toUtf8().constData(), -1, &statement, nullptr); }
    ~Statement() { sqlite3_finalize(statement); }
    bool valid() const { return statement; }
    void bindText(const char *name, const QString &value)
    {
        const QByteArray utf8 = value.toUtf8();
        sqlite3_bind_text(statement, sqlite3_bind_parameter_index(statement, name), utf8.constData(), int(utf8.size()),
                          SQLITE_TRANSIENT);
    }
    void bindRows(const RowRange &range)
    {
        sqlite3_reset(statement);
        sqlite3_bind_int64(statement, sqlite3_bind_parameter_index(statement, ":rowfrom"), range.from);
        sqlite3_bind_int64(statement, sqlite3_bind_parameter_index(statement, ":rowto"), range.to);
    }
    bool step() { return sqlite3_step(statement) == SQLITE_ROW; }
    qint64 number(int column) const { return sqlite3_column_int64(statement, column); }
    QByteArray text(int column) const
    {
        return QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                          sqlite3_column_bytes(statement, column));
    }
    SummaryTotals totals(int column) const
    {
        SummaryTotals totals{};
        if (sqlite3_column_bytes(statement, column) == int(sizeof totals))
            memcpy(&totals, sqlite3_column_blob(statement, column), sizeof totals);
        return totals;
    }
    sqlite3_stmt *statement = nullptr;
};

} // namespace

bool PassConnection::open(const QString &database)
{
    sqlite3 *opened = nullptr;
    const bool ready = sqlite3_open_v2(QFile::encodeName(database).constData(), &opened, SQLITE_OPEN_READONLY, nullptr)
            == SQLITE_OK
        && registerSummaryFunction(opened) && registerRecordDatetime(opened);
    {
        QMutexLocker lock(&handleLock);
        db = opened;
    }
    if (!ready)
        return false;
    sqlite3_busy_timeout(db, 10000);
    // An interrupt that comes before a statement runs would be lost: the
    // statements also look at the flag now and then.
    sqlite3_progress_handler(db, 1000, [](void *flag) { return int(static_cast<std::atomic_bool *>(flag)->load()); },
                             &stopped);
    return true;
}

void PassConnection::close()
{
    QMutexLocker lock(&handleLock);
    sqlite3_close(db);
    db = nullptr;
}

QString PassConnection::error() const
{
    if (stopped)
        return QStringLiteral("interrupted");
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
}

void PassConnection::interrupt()
{
    stopped = true;
    QMutexLocker lock(&handleLock);
    if (db)
        sqlite3_interrupt(db);
}

SummaryPass::SummaryPass(const QString &database, const QString &statement, const QDateTime &st, const QDateTime &en,
                         const QVector<RowRange> &ranges, int valueColumns)
    : database(database), statement(statement), st(st), en(en), ranges(ranges)
{
    result.values.resize(valueColumns);
}

SummaryPass::~SummaryPass()
{
    if (thread.joinable())
        thread.join();
}

void SummaryPass::start()
{
    thread = std::thread([this] { run(); });
}

bool SummaryPass::finish(WindowSummary &summary, QString &error)
{
    if (thread.joinable())
        thread.join();
    summary = result;
    error = failure;
    return failure.isEmpty();
}

bool SummaryPass::runOver(const RowRange *range)
{
    Statement pass(connection.handle(), statement);
    if (!pass.valid())
        return false;
    pass.bindText(":indate1", recordTimeText(st));
    pass.bindText(":indate2", recordTimeText(en));
    if (range)
        pass.bindRows(*range);
    if (!pass.step() || connection.interrupted())
        return false;
    WindowSummary part{pass.number(0), {}};
    for (int column = 1; column < sqlite3_column_count(pass.statement); ++column)
        part.values << valueSummary(pass.totals(column));
    result = mergeSummaries(result, part);
    return true;
}

void SummaryPass::run()
{
    bool read = connection.open(database);
    if (read && ranges.isEmpty())
        read = runOver(nullptr);
    for (const RowRange &range : ranges) {
        if (read)
            read = runOver(&range);
    }
    if (!read)
        failure = connection.error();
    connection.close();
}

SummaryBlockBuild::SummaryBlockBuild(const QString &database, const QString &table, const QString &statement,
                                     qint64 blockRowids, std::function<void(const SummaryBlocks &)> keep)
    : database(database), table(table), statement(statement), blockRowids(blockRowids), keep(std::move(keep))
{
}

SummaryBlockBuild::~SummaryBlockBuild()
{
    connection.interrupt();
    if (thread.joinable())
        thread.join();
}

void SummaryBlockBuild::start()
{
    thread = std::thread([this] {
        run();
        done = true;
    });
}

std::shared_ptr<const SummaryBlocks> SummaryBlockBuild::take()
{
    if (thread.joinable())
        thread.join();
    return blocks;
}

void SummaryBlockBuild::run()
{
    auto built = std::make_shared<SummaryBlocks>();
    if (!connection.open(database))
        return;
    Statement span(connection.handle(), QStringLiteral("select min(rowid), max(rowid) from main.%1").arg(table));
    Statement block(connection.handle(), statement);
    if (!span.valid() || !block.valid() || !span.step())
        return;
    const qint64 first = span.number(0) / blockRowids, last = span.number(1) / blockRowids;
    for (qint64 k = first; k <= last && sqlite3_column_type(span.statement, 0) != SQLITE_NULL; ++k) {
        SummaryBlock sums;
        sums.fromRow = k * blockRowids;
        sums.toRow = sums.fromRow + blockRowids;
        block.bindRows({sums.fromRow, sums.toRow});
        if (!block.step() || connection.interrupted())
            return;
        sums.records = block.number(0);
        sums.stamped = block.number(1);
        sums.firstStamp = block.text(2);
        sums.lastStamp = block.text(3);
        for (int column = 4; column + 3 < sqlite3_column_count(block.statement); column += 4) {
            BlockColumn values;
            values.values = block.number(column);
            values.castMinimum = sqlite3_column_double(block.statement, column + 1);
            values.castMaximum = sqlite3_column_double(block.statement, column + 2);
            values.totals = block.totals(column + 3);
            sums.columns << values;
        }
        if (sums.records > 0)
            *built << sums;
    }
    connection.close();
    if (keep)
        keep(*built);
    blocks = std::move(built);
}
