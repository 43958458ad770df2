#include "readtransaction.h"

#include <sqlite3.h>

ReadTransaction::ReadTransaction(sqlite3 *connection)
{
    if (!connection) {
        failure = QStringLiteral("no connection");
        return;
    }
    if (!sqlite3_get_autocommit(connection))
        return;
    // The read takes the shared lock a deferred transaction waits for.
    if (sqlite3_exec(connection, "begin; select 1 from main.sqlite_master limit 1", nullptr, nullptr, nullptr) != SQLITE_OK) {
        failure = QString::fromUtf8(sqlite3_errmsg(connection));
        sqlite3_exec(connection, "rollback", nullptr, nullptr, nullptr);
        return;
    }
    handle = connection;
}

void ReadTransaction::end()
{
    if (!handle)
        return;
    if (sqlite3_exec(handle, "commit", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(handle, "rollback", nullptr, nullptr, nullptr);
    handle = nullptr;
}
