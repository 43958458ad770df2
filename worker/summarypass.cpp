#include "summarypass.h"

#include "recorddatetime.h"
#include "recordtime.h"
#include "summaryfunction.h"

#include <QFile>
#include <sqlite3.h>

namespace {

// One statement on a raw handle; `bind` binds its parameters.
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
    void bindRow(const char *name, qint64 row)
    {
        if (const int index = sqlite3_bind_parameter_index(statement, name))
            sqlite3_bind_int64(statement, index, row);
    }
    sqlite3_stmt *statement = nullptr;
};

} // namespace

SummaryPass::~SummaryPass()
{
    if (thread.joinable())
        thread.join();
}

SummaryPass::SummaryPass(const QString &database, const QString &statement, const QString &table, const QDateTime &st,
                         const QDateTime &en, qint64 fromRow, qint64 toRow)
    : database(database), statement(statement), table(table), st(st), en(en), fromRow(fromRow), toRow(toRow)
{
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

void SummaryPass::interrupt()
{
    interrupted = true;
    QMutexLocker lock(&handleLock);
    if (handle)
        sqlite3_interrupt(handle);
}

void SummaryPass::run()
{
    sqlite3 *db = nullptr;
    const auto fail = [&] { failure = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory"); };
    if (sqlite3_open_v2(QFile::encodeName(database).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK
        || !registerSummaryFunction(db)) {
        fail();
        sqlite3_close(db);
        return;
    }
    registerRecordDatetime(db);
    {
        QMutexLocker lock(&handleLock);
        handle = db;
    }
    sqlite3_busy_timeout(db, 10000);
    // An interrupt that comes before a statement runs would be lost: the
    // statements also look at the flag now and then.
    sqlite3_progress_handler(db, 1000, [](void *flag) { return int(static_cast<std::atomic_bool *>(flag)->load()); },
                             &interrupted);
    {
        Statement pass(db, statement);
        if (pass.valid()) {
            pass.bindText(":indate1", recordTimeText(st));
            pass.bindText(":indate2", recordTimeText(en));
            pass.bindRow(":rowfrom", fromRow);
            pass.bindRow(":rowto", toRow);
        }
        if (!pass.valid() || sqlite3_step(pass.statement) != SQLITE_ROW) {
            fail();
        } else {
            result.count = sqlite3_column_int64(pass.statement, 0);
            for (int column = 1; column < sqlite3_column_count(pass.statement); ++column) {
                SummaryTotals totals{};
                if (sqlite3_column_bytes(pass.statement, column) == int(sizeof totals))
                    memcpy(&totals, sqlite3_column_blob(pass.statement, column), sizeof totals);
                result.values << valueSummary(totals);
            }
        }
    }
    {
        // The stamps of the extremes, read by rowid.
        Statement stamp(db, QStringLiteral("select indate from main.%1 where rowid = ?").arg(table));
        const auto stampOf = [&](qint64 row) {
            sqlite3_reset(stamp.statement);
            sqlite3_bind_int64(stamp.statement, 1, row);
            if (sqlite3_step(stamp.statement) != SQLITE_ROW)
                return QDateTime();
            return recordWallClock(
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stamp.statement, 0))));
        };
        for (ValueSummary &value : result.values) {
            if (failure.isEmpty() && stamp.valid() && value.numbers > 0) {
                value.minimumTime = stampOf(value.minimumRow);
                value.maximumTime = stampOf(value.maximumRow);
            }
        }
    }
    if (interrupted && failure.isEmpty())
        failure = QStringLiteral("interrupted");
    {
        QMutexLocker lock(&handleLock);
        handle = nullptr;
    }
    sqlite3_close(db);
}
