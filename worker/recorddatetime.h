#ifndef RECORDDATETIME_H
#define RECORDDATETIME_H

#include <QtGlobal>

struct sqlite3;

// Whether datetime() gives a stamp as its first 19 characters: written
// "YYYY-MM-DD HH:MM:SS" with a real date and time, blanks after it at most.
bool isPlainStamp(const char *text, qsizetype size);

// Puts a faster datetime(X) of one argument in place of SQLite's own on the
// connection, with the same result for every argument. False when SQLite
// refused it (the connection keeps SQLite's own).
bool registerRecordDatetime(sqlite3 *handle);
// How many arguments it has handed to SQLite's own datetime() since the
// program started: every one the instrument's shape on a real clock does not answer.
long long recordDatetimeDelegated();

#endif
