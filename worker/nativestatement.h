#ifndef NATIVESTATEMENT_H
#define NATIVESTATEMENT_H

#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// A statement on a connection's own SQLite handle, finalized with it: for
// the reads and writes of many rows, where QSqlQuery's values would cost
// more than SQLite's work.
class NativeStatement
{
public:
    NativeStatement(sqlite3 *handle, const QString &text);
    ~NativeStatement();
    NativeStatement(const NativeStatement &) = delete;
    NativeStatement &operator=(const NativeStatement &) = delete;

    bool ok() const { return statement != nullptr; }
    sqlite3_stmt *operator*() const { return statement; }
    void bind(int i, qint64 value);
    void bind(int i, const QString &text);
    // SQLITE_ROW, SQLITE_DONE or an error.
    int step();
    // Steps once and resets: whether the statement ran to its end.
    bool run();
    void reset();
    QString error() const;
    // How many statements of this class are open on the handle: while any
    // is, SQLite's sqlite3_close() (Qt's) leaves the connection open.
    static int openOn(sqlite3 *handle);

private:
    sqlite3 *handle;
    sqlite3_stmt *statement = nullptr;
};

#endif
