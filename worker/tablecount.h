#ifndef TABLECOUNT_H
#define TABLECOUNT_H

#include <QByteArray>
#include <QString>

class QSqlDatabase;

// The records of a table, as count(*) gives them, or -1 when it fails.
// count(*) reads every page of one of the table's b-trees (about 50 ms for a
// year of records), so a count is kept beside the state of the database
// file in which it was made and read again only once a write shows there,
// from this program or from any other.
qint64 countedRecords(QSqlDatabase &db, const QString &table);
// Keeps `records` as the count of the table in the database file at `path`
// as it stands: an import that made the file knows it without a count(*).
void keepCountedRecords(const QString &path, const QString &table, qint64 records);
// What changes with any committed write to the database file at `path`.
QByteArray databaseFileState(const QString &path);
// How many times count(*) ran, for the tests to see the kept counts used.
int countStatementsRun();

#endif
