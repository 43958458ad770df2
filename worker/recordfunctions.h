#ifndef RECORDFUNCTIONS_H
#define RECORDFUNCTIONS_H

#include <QSqlDatabase>

// Gives the connection the worker's own SQL functions: the quicker
// datetime(), window_summary() and block_sums(). False when they could not
// be registered (Qt's SQLite driver built against another SQLite than this
// program), which is warned of once and noted for SQLThread.
bool registerRecordFunctions(QSqlDatabase &db);

#endif
