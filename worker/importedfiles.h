#ifndef IMPORTEDFILES_H
#define IMPORTEDFILES_H

#include "importreport.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <optional>

// The record of what was imported, kept in record.db beside the records (so
// it is replaced with them): per record file its name, size, a hash of its
// content, the rowids its records took, its lines and when it came.
namespace ImportedFiles {

struct Entry {
    QString name;
    qint64 size = 0;
    QByteArray hash;
    qint64 firstRowid = 0;
    qint64 lastRowid = -1; // below firstRowid: no record
    qint64 records = 0;
    qint64 linesRead = 0;
    qint64 linesSkipped = 0;
    QByteArray sha256; // empty: imported by a version that did not keep it
    QString skipped;   // the lines skipped with their reasons; empty: not kept
    QString added;     // when it was imported or added (local time); empty: not kept
};

// SQLite's reason when the table could not be made (or given the columns
// that earlier versions did not keep).
QString ensureTable(QSqlDatabase &db);
// Every file noted, in the order of their records.
QList<Entry> all(QSqlDatabase &db, QString *error);
// By name, in any case: cards mounted with short names give "20240301.csv".
std::optional<Entry> find(QSqlDatabase &db, const QString &name);
// A file of this content, whatever its name.
std::optional<Entry> findContent(QSqlDatabase &db, qint64 size, const QByteArray &hash);
// Notes a file whose records took rowids firstRowid..lastRowid; false on a failure.
bool note(QSqlDatabase &db, const FileReport &file, qint64 firstRowid, qint64 lastRowid);

// A file noted, with the stamps of the first and the last record it stored
// (local times; invalid where unreadable or none).
struct Listed {
    Entry entry;
    QDateTime first, last;
};

// The hex digest the table keeps of a whole file's content.
QByteArray hashOf(const QString &path);

} // namespace ImportedFiles

#endif
