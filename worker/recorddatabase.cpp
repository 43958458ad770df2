#include "recorddatabase.h"

#include "datafolder.h"
#include "families.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>
#include <cstdio>

namespace {

void removeJournals(const QString &database)
{
    for (const char *suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(database + QLatin1String(suffix));
}

} // namespace

QString recordDatabasePath()
{
    return dataFolder() + QStringLiteral("/record.db");
}

QString recordTemplatePath()
{
    return sharedFilesFolder() + QStringLiteral("/record0.db");
}

QString newRecordDatabasePath()
{
    return recordDatabasePath() + QStringLiteral(".new");
}

bool prepareNewRecordDatabase()
{
    const QString copy = newRecordDatabasePath();
    discardNewRecordDatabase();
    if (!QFile::copy(recordTemplatePath(), copy)) {
        QFile::remove(copy);
        return false;
    }
    QFile::setPermissions(copy, QFile::permissions(copy) | QFile::WriteOwner);
    return true;
}

bool installNewRecordDatabase()
{
    const QString target = recordDatabasePath();
    removeJournals(target);
    if (std::rename(QFile::encodeName(newRecordDatabasePath()).constData(), QFile::encodeName(target).constData()) != 0) {
        discardNewRecordDatabase();
        return false;
    }
    return true;
}

void discardNewRecordDatabase()
{
    QFile::remove(newRecordDatabasePath());
    removeJournals(newRecordDatabasePath());
}

bool replaceRecordDatabase()
{
    return prepareNewRecordDatabase() && installNewRecordDatabase();
}

QStringList columnNames(QSqlDatabase &db, const QString &table)
{
    QSqlQuery query(db);
    QStringList names;
    if (query.exec(QStringLiteral("select name from pragma_table_info('%1') order by cid").arg(table))) {
        while (query.next())
            names << query.value(0).toString();
    }
    return names;
}

qint64 greatestRowid(QSqlDatabase &db, const QString &table)
{
    QSqlQuery query(db);
    return query.exec(QStringLiteral("select max(rowid) from main.%1").arg(table)) && query.next()
        ? query.value(0).toLongLong()
        : -1;
}

int tableCodeWithRecords(const QString &path, QString *error)
{
    if (!QFileInfo::exists(path))
        return 0;
    int found = 0;
    QString unreadable;
    const QString notOpened = readOnlyDatabase(path, [&found, &unreadable](QSqlDatabase &db) {
        QSqlQuery tables(db);
        if (!tables.exec(QStringLiteral("select name from sqlite_master where type = 'table' and name like 'meter%' order by name")))
            unreadable = tables.lastError().text();
        while (found == 0 && tables.next()) {
            const QString table = tables.value(0).toString();
            // The code the family's own name for its table gives back.
            const int code = table.mid(5).toInt(), family = familyOfTableCode(code);
            if (family == 0 || meterFamily(family).table(code) != table)
                continue;
            QSqlQuery any(db);
            if (!any.exec(QStringLiteral("select 1 from main.%1 limit 1").arg(table))) {
                unreadable = any.lastError().text();
                break;
            }
            if (any.next())
                found = code;
        }
    });
    if (error)
        *error = notOpened.isEmpty() ? unreadable : notOpened;
    return notOpened.isEmpty() && unreadable.isEmpty() ? found : 0;
}

QString readOnlyDatabase(const QString &path, const std::function<void(QSqlDatabase &)> &read)
{
    static std::atomic_int readers{0};
    const QString name = QStringLiteral("reader-%1").arg(++readers);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        db.setDatabaseName(path);
        if (db.open())
            read(db);
        else
            error = db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}
