#ifndef ROWINSERTER_H
#define ROWINSERTER_H

#include "recordlinereader.h"

#include <QSqlDatabase>
#include <QString>
#include <memory>

// Executes one prepared insert per record line, each field bound as its text
// by position. The native form steps the statement on the connection's own
// SQLite handle and binds the line's bytes without copying them.
class RowInserter
{
public:
    virtual ~RowInserter() = default;
    virtual bool prepare(const QString &statement) = 0;
    // False when the database can take no more (disk full, I/O error): the
    // import cannot go on. A line the database merely refuses returns true.
    virtual bool insert(const FieldSpan *fields, int count) = 0;
    // Inserts `records` records of `count` fields each, one after another,
    // as insert() would one by one.
    virtual bool insertMany(const FieldSpan *fields, int records, int count);
    virtual void release() = 0;
    QString errorText() const { return error; }

protected:
    static bool isFatal(int sqliteCode);
    QString error;
};

enum class InsertPath { Automatic, Native, QtQuery };

std::unique_ptr<RowInserter> makeRowInserter(QSqlDatabase &db, InsertPath path = InsertPath::Automatic);

struct sqlite3;
// The connection's SQLite handle, or nullptr when the driver gives none.
sqlite3 *sqliteHandle(QSqlDatabase &db);

// True when the connection's handle is a SQLite handle of the very library
// this program links, so that the C API may be used on it.
bool nativeHandleUsable(QSqlDatabase &db);

// Settings that must precede SQLite's first use in the process.
void configureSqliteForImport();

// Forces every import onto one path; the tests use it to compare the two.
void setPreferredInsertPath(InsertPath path);
InsertPath preferredInsertPath();

#endif
