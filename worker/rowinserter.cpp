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
        return sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &stmt, nullptr) == SQLITE_OK;
    }

    bool insert(const FieldSpan *fields, int count) override
    {
        if (!stmt)
            return true;
        for (int i = 0; i < count; ++i)
            sqlite3_bind_text(stmt, i + 1, fields[i].data, int(fields[i].size), SQLITE_STATIC);
        const int rc = sqlite3_step(stmt);
        if (rc != SQLITE_DONE && isFatal(rc))
            error = QString::fromUtf8(sqlite3_errmsg(handle));
        sqlite3_reset(stmt);
        return error.isEmpty();
    }

    void release() override
    {
        sqlite3_finalize(stmt);
        stmt = nullptr;
    }

private:
    sqlite3 *handle;
    sqlite3_stmt *stmt = nullptr;
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

bool RowInserter::isFatal(int sqliteCode)
{
    switch (sqliteCode & 0xff) {
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_NOMEM:
    case SQLITE_CORRUPT:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
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
