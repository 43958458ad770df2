#include "tablecount.h"

#include "rowinserter.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <sqlite3.h>
#include <sys/stat.h>

// Each file's identity, size and times of change (the database, its
// rollback journal and its write-ahead log), SQLite's change counter, raised
// by every write transaction in rollback mode, and the log's header, new at
// each restart of the log.
QByteArray databaseFileState(const QString &path)
{
    QByteArray state;
    for (const QString &name : {path, path + QStringLiteral("-journal"), path + QStringLiteral("-wal")}) {
        struct stat info {};
        if (::stat(QFile::encodeName(name).constData(), &info) != 0) {
            state += "-;";
            continue;
        }
        for (qint64 n : {qint64(info.st_dev), qint64(info.st_ino), qint64(info.st_size), qint64(info.st_mtim.tv_sec),
                         qint64(info.st_mtim.tv_nsec), qint64(info.st_ctim.tv_sec), qint64(info.st_ctim.tv_nsec)})
            state += QByteArray::number(n) + ',';
        QFile file(name);
        if (file.open(QIODevice::ReadOnly))
            state += file.read(32).toHex() + ';';
    }
    return state;
}

namespace {

struct Count {
    QByteArray state;
    qint64 records = -1;
};

QMutex countsLock;
QHash<QString, Count> counts; // by database path and table
QAtomicInt statementsRun;

} // namespace

qint64 countedRecords(QSqlDatabase &db, const QString &table)
{
    // A transaction that has written sees what the file may never hold.
    sqlite3 *handle = nativeHandleUsable(db) ? sqliteHandle(db) : nullptr;
    const bool keep = handle && (sqlite3_get_autocommit(handle) || sqlite3_txn_state(handle, "main") != SQLITE_TXN_WRITE);
    const QString key = db.databaseName() + QLatin1Char('|') + table;
    const QByteArray state = keep ? databaseFileState(db.databaseName()) : QByteArray();
    if (keep) {
        QMutexLocker lock(&countsLock);
        const auto kept = counts.constFind(key);
        if (kept != counts.constEnd() && kept->state == state)
            return kept->records;
    }
    statementsRun.ref();
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("select count(*) from main.%1").arg(table)) || !query.next())
        return -1;
    const qint64 records = query.value(0).toLongLong();
    if (keep) {
        // A write during the count (another job's addition) may have kept its
        // own count since: this one, of the state before it, would replace it.
        QMutexLocker lock(&countsLock);
        if (databaseFileState(db.databaseName()) == state)
            counts.insert(key, Count{state, records});
    }
    return records;
}

void keepCountedRecords(const QString &path, const QString &table, qint64 records)
{
    const QByteArray state = databaseFileState(path);
    QMutexLocker lock(&countsLock);
    counts.insert(path + QLatin1Char('|') + table, Count{state, records});
}

int countStatementsRun()
{
    return statementsRun.loadRelaxed();
}
