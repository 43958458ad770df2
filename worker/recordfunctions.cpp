// The worker's own SQL functions, and what searches do without them.
#include "recordfunctions.h"

#include "recorddatetime.h"
#include "rowinserter.h"
#include "sqlthread.h"
#include "summaryfunction.h"

#include <QCoreApplication>
#include <QDebug>
#include <atomic>

namespace {
// Whether a connection could not be given the functions, since the
// process started or the tests last asked.
std::atomic_bool g_missing{false};
std::atomic_bool g_refused{false};
} // namespace

bool registerRecordFunctions(QSqlDatabase &db)
{
    sqlite3 *handle = !g_refused && nativeHandleUsable(db) ? sqliteHandle(db) : nullptr;
    const bool registered = handle && registerRecordDatetime(handle) && registerSummaryFunction(handle);
    if (!registered && !g_missing.exchange(true))
        qWarning("%s", qPrintable(SQLThread::recordFunctionsNote()));
    return registered;
}

bool SQLThread::recordFunctionsUsable()
{
    return !g_missing;
}

QString SQLThread::recordFunctionsNote()
{
    return g_missing ? QCoreApplication::translate("SQLThread", "Qt's SQLite driver uses another SQLite than this "
                                                                "program: searches read the records by the statements "
                                                                "alone, which is slower.")
                     : QString();
}

void SQLThread::refuseRecordFunctions(bool refuse)
{
    g_refused = refuse;
    g_missing = false;
}
