#include "rowinserter.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <sqlite3.h>

namespace {

InsertPath g_preferredPath = InsertPath::Automatic;

class NativeRowInserter : public RowInserter
{
public:
    explicit NativeRowInserter(sqlite3 *handle) : handle(handle) {}
    ~NativeRowInserter() override { release(); }

    bool prepare(const QString &statement) override
    {
        const QByteArray sql = statement.toUtf8();
        if (sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
            return false;
        // The same insert of many rows at once: a statement's setting up and
        // ending cost as much as the row it stores.
        fieldsPerRow = sqlite3_bind_parameter_count(stmt);
        const qsizetype values = sql.toLower().lastIndexOf("values");
        if (values > 0 && fieldsPerRow > 0) {
            const QByteArray row = '(' + QByteArray("?,").repeated(fieldsPerRow - 1) + "?)";
            const QByteArray many = sql.left(values) + "values " + row + (',' + row).repeated(RowsAtOnce - 1);
            if (sqlite3_prepare_v2(handle, many.constData(), int(many.size()), &manyStmt, nullptr) != SQLITE_OK) {
                sqlite3_finalize(manyStmt);
                manyStmt = nullptr;
            }
        }
        return true;
    }

    bool insertMany(const FieldSpan *fields, int records, int count) override
    {
        int r = 0;
        for (; manyStmt && count == fieldsPerRow && r + RowsAtOnce <= records; r += RowsAtOnce) {
            const FieldSpan *rows = fields + qsizetype(r) * count;
            const int rc = bind(manyStmt, rows, RowsAtOnce * count) ? step(manyStmt) : SQLITE_TOOBIG;
            if (rc == SQLITE_DONE)
                continue;
            if (!error.isEmpty())
                return false;
            // A row the database refuses stored none of them: each goes in as it would alone.
            if (!RowInserter::insertMany(rows, RowsAtOnce, count))
                return false;
        }
        return RowInserter::insertMany(fields + qsizetype(r) * count, records - r, count);
    }

    bool insert(const FieldSpan *fields, int count) override
    {
        if (!stmt)
            return true;
        // A field SQLite cannot take would be stored as NULL: the row is refused instead.
        if (!bind(stmt, fields, count))
            return true;
        step(stmt);
        return error.isEmpty();
    }

    void release() override
    {
        sqlite3_finalize(stmt);
        sqlite3_finalize(manyStmt);
        stmt = manyStmt = nullptr;
    }

private:
    // Steps an insert; where the database can take no more, or rolled the
    // caller's transaction back (an interrupt does), nothing more goes in:
    // a row stored now would stay whatever the caller then does.
    int step(sqlite3_stmt *statement)
    {
        const bool inTransaction = !sqlite3_get_autocommit(handle);
        const int rc = sqlite3_step(statement);
        if (rc != SQLITE_DONE && (isFatal(rc) || (inTransaction && sqlite3_get_autocommit(handle))))
            error = QString::fromUtf8(sqlite3_errmsg(handle));
        sqlite3_reset(statement);
        return rc;
    }

    static bool bind(sqlite3_stmt *statement, const FieldSpan *fields, int count)
    {
        bool bound = true;
        for (int i = 0; i < count; ++i)
            bound = sqlite3_bind_text(statement, i + 1, fields[i].data, int(fields[i].size), SQLITE_STATIC) == SQLITE_OK && bound;
        return bound;
    }

    static constexpr int RowsAtOnce = 64;
    sqlite3 *handle;
    sqlite3_stmt *stmt = nullptr, *manyStmt = nullptr;
    int fieldsPerRow = 0;
};

class QtRowInserter : public RowInserter
{
public:
    explicit QtRowInserter(QSqlDatabase &db) : query(db) {}

    bool prepare(const QString &statement) override { return query.prepare(statement); }

    bool insert(const FieldSpan *fields, int count) override
    {
        for (int i = 0; i < count; ++i)
            query.bindValue(i, QString::fromUtf8(fields[i].data, fields[i].size));
        if (!query.exec() && isFatal(query.lastError().nativeErrorCode().toInt()))
            error = query.lastError().text();
        return error.isEmpty();
    }

    void release() override { query.clear(); }

private:
    QSqlQuery query;
};

} // namespace

sqlite3 *sqliteHandle(QSqlDatabase &db)
{
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(v.data());
}

bool RowInserter::insertMany(const FieldSpan *fields, int records, int count)
{
    for (int r = 0; r < records; ++r) {
        if (!insert(fields + qsizetype(r) * count, count))
            return false;
    }
    return true;
}

bool RowInserter::isFatal(int sqliteCode)
{
    switch (sqliteCode & 0xff) {
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_NOMEM:
    case SQLITE_CORRUPT:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_INTERRUPT: // a cancel: the transaction is rolled back
        return true;
    default:
        return false;
    }
}

bool nativeHandleUsable(QSqlDatabase &db)
{
    if (!db.isOpen() || !sqliteHandle(db))
        return false;
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("select sqlite_version()")) || !version.next())
        return false;
    return version.value(0).toString() == QString::fromLatin1(sqlite3_libversion());
}

void configureSqliteForImport()
{
    // Memory statistics take a global mutex on every allocation; nothing here
    // reads them. Effective only before SQLite's first use in the process.
    static const bool done = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    Q_UNUSED(done)
}

std::unique_ptr<RowInserter> makeRowInserter(QSqlDatabase &db, InsertPath path)
{
    if (path == InsertPath::Automatic)
        path = g_preferredPath;
    if (path != InsertPath::QtQuery && nativeHandleUsable(db))
        return std::make_unique<NativeRowInserter>(sqliteHandle(db));
    return std::make_unique<QtRowInserter>(db);
}

void setPreferredInsertPath(InsertPath path)
{
    g_preferredPath = path;
}

InsertPath preferredInsertPath()
{
    return g_preferredPath;
}
