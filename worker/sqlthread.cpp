#include "sqlthread.h"

#include "chartquery.h"
#include "families.h"
#include "pageaccess.h"
#include "recordstore.h"
#include "recordtime.h"
#include "rowinserter.h"
#include "tablequery.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSqlError>
#include <QSqlQuery>

namespace {
const QString ConnectionName = QStringLiteral("dbnamelog");
std::function<void(QSqlDatabase &)> g_connectionHook;
}

void SQLThread::setConnectionHook(std::function<void(QSqlDatabase &)> hook)
{
    g_connectionHook = std::move(hook);
}

SQLThread::SQLThread(QObject *parent) : QObject(parent)
{
    configureSqliteForImport();
}

SQLThread::~SQLThread()
{
    qDebug() << "线程函数sqltrhead析构";
}

void SQLThread::openConnection()
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ConnectionName);
    db.setDatabaseName(QCoreApplication::applicationDirPath() + QStringLiteral("/record.db"));
    if (!db.open())
        qDebug() << db.lastError();
    else if (g_connectionHook)
        g_connectionHook(db);
}

void SQLThread::closeConnection()
{
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(ConnectionName);
}

void SQLThread::ensureTimeIndex(const QString &table)
{
    // Searches select by datetime(indate). The index is built by the first
    // search after an import, not by the import, which stays at full speed.
    QSqlQuery query(db);
    query.exec(QStringLiteral("create index if not exists %1_time on %1(datetime(indate))").arg(table));
}

void SQLThread::choosePageAccess(const QString &table, const QDateTime &st, const QDateTime &en, qint64 offset)
{
    // The index finds a narrow window at once, but the statements order by
    // rowid, so over a wide window it sorts everything up to the page, where
    // reading the table in order stops at the page. The statements name the
    // table; a view of that name in this connection's temporary schema comes
    // first, reads the same rows without the index, and ends with the connection.
    QSqlQuery query(db);
    query.exec(QStringLiteral("drop view if exists temp.%1").arg(table));
    const auto timeAt = [&](const char *end) {
        const bool read = query.exec(QStringLiteral("select %1(datetime(indate)) from main.%2")
                                         .arg(QLatin1String(end), table))
            && query.next();
        return read ? parseRecordTime(query.value(0).toString()) : QDateTime();
    };
    const WindowShare window = windowShare(timeAt("min"), timeAt("max"), st, en);
    const double progress = g_recordCount > 0 ? qBound(0.0, double(offset) / g_recordCount, 1.0) : 0.0;
    if (!scanReachesPageSooner(window, progress))
        return;
    query.exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
    query.exec(QStringLiteral("create temp view %1 as select rowid as rowid, * from main.%1 not indexed").arg(table));
}

void SQLThread::dn_Record_Search1(int pageid, int idx, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl)
{
    runTableSearch(meterFamily(1), {pageid, idx, st, en, pv1, pv2, 0, 0, ishl});
}

void SQLThread::dn_Record_Search2(int pageid, int idx, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl)
{
    runTableSearch(meterFamily(2), {pageid, idx, st, en, pv1, pv2, 0, 0, ishl});
}

void SQLThread::dn_Record_Search3(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl)
{
    runTableSearch(meterFamily(3), {pageid, 0, st, en, pv1, pv2, 0, 0, ishl});
}

void SQLThread::dn_Record_Search4(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, double th1, double th2, bool ishl)
{
    runTableSearch(meterFamily(4), {pageid, 0, st, en, pv1, pv2, th1, th2, ishl});
}

void SQLThread::dn_Record_Search5(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl)
{
    runTableSearch(meterFamily(5), {pageid, 0, st, en, pv1, pv2, 0, 0, ishl});
}

void SQLThread::dn_Record_Cart1(bool qx, int pageid, int idx, QDateTime st, QDateTime en)
{
    runChartQuery(meterFamily(1), {qx, pageid, idx, st, en});
}

void SQLThread::dn_Record_Cart2(bool qx, int pageid, int idx, QDateTime st, QDateTime en)
{
    runChartQuery(meterFamily(2), {qx, pageid, idx, st, en});
}

void SQLThread::dn_Record_Cart3(bool qx, int pageid, QDateTime st, QDateTime en)
{
    runChartQuery(meterFamily(3), {qx, pageid, 0, st, en});
}

void SQLThread::dn_Record_Cart4(bool qx, int pageid, QDateTime st, QDateTime en)
{
    runChartQuery(meterFamily(4), {qx, pageid, 0, st, en});
}

void SQLThread::dn_Record_Cart5(bool qx, int pageid, QDateTime st, QDateTime en)
{
    runChartQuery(meterFamily(5), {qx, pageid, 0, st, en});
}
