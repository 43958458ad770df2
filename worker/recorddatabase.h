#ifndef RECORDDATABASE_H
#define RECORDDATABASE_H

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

QString recordDatabasePath();
QString recordTemplatePath();
// Where an import builds the next record database before it replaces record.db.
QString newRecordDatabasePath();

// A fresh copy of the template at newRecordDatabasePath(); false when it
// cannot be made. Stale journals of an earlier copy go first, so SQLite
// cannot roll old pages into the fresh one.
bool prepareNewRecordDatabase();
// Puts the complete new database in the place of record.db in one rename(2).
// The old database's journals go first: they belong to the file being replaced.
bool installNewRecordDatabase();
void discardNewRecordDatabase();

// Replaces record.db by a fresh copy of record0.db (prepare, then install).
bool replaceRecordDatabase();

// Runs `read` on a connection of its own to the database at `path`, opened
// only for reading: for any thread, beside any job of the workers. SQLite's
// reason when it could not be opened.
QString readOnlyDatabase(const QString &path, const std::function<void(QSqlDatabase &)> &read);

// The names of a table's columns in their order; none when they cannot be read.
QStringList columnNames(QSqlDatabase &db, const QString &table);
// The greatest rowid of a table: 0 when it is empty, -1 when it cannot be read.
qint64 greatestRowid(QSqlDatabase &db, const QString &table);
// The table code of the first instrument table that holds a record in the
// database at `path`; 0 when none does, or when it cannot be read (`error`
// then says why).
int tableCodeWithRecords(const QString &path, QString *error);

#endif
