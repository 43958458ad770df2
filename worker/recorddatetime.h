#ifndef RECORDDATETIME_H
#define RECORDDATETIME_H

struct sqlite3;

// Puts a faster datetime(X) of one argument in place of SQLite's own on the
// connection, with the same result for every argument. False when SQLite
// refused it (the connection keeps SQLite's own).
bool registerRecordDatetime(sqlite3 *handle);

#endif
