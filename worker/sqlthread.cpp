#include "sqlthread.h"

#include "families.h"
#include "pageaccess.h"
#include "recorddatetime.h"
#include "recorddatabase.h"
#include "recordstore.h"
#include "recordtime.h"
#include "rowinserter.h"
#include "settings.h"
#include "rowreader.h"
#include "statements.h"
#include "summaryblocks.h"
#include "summaryblockstore.h"
#include "summarypass.h"
#include "windowsummary.h"

#include <QDebug>
#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <limits>
#include <sqlite3.h>

namespace {
const QString ConnectionName = QStringLiteral("dbnamelog");
std::function<void(QSqlDatabase &)> g_connectionHook;
std::atomic<SQLThread::PageAccess> g_pageAccess{SQLThread::PageAccess::Chosen};
std::atomic_bool g_windowSummary{true};
QMutex g_readPathsLock;
// Held while the time index is built after an import; searches wait for it.
QMutex g_timeIndexBuild;
std::function<void()> g_timeIndexHook;
const QString IndexConnectionName = QStringLiteral("timeindex");
QStringList g_readPaths;

void addReadPath(const QString &path)
{
    QMutexLocker lock(&g_readPathsLock);
    g_readPaths << path;
}

void bindWindow(QSqlQuery &query, const QDateTime &st, const QDateTime &en)
{
    query.bindValue(QStringLiteral(":indate1"), recordTimeText(st));
    query.bindValue(QStringLiteral(":indate2"), recordTimeText(en));
}

} // namespace

// One page of a table search or a chart, with the count first on a new search.
struct PagedQuery {
    QString table;
    QString countStatement; // empty on a later page: the shown search's count holds
    QString pageStatement;
    bool summarize = false; // a new search: its window's summary too
    std::function<QString(bool scan)> summaryStatement;
    QString blockStatement;
    SummaryCondition condition;
    int valueColumns = 0;
    QDateTime st;
    QDateTime en;
    qint64 offset = 0;
    int pageSize = 0;
    std::function<RecordRow(const QSqlQuery &, qint64 number)> readRow;
    bool traceCount = false;
    bool traceRowCount = false;
};

void SQLThread::restoreDefaults()
{
    setConnectionHook({});
    setTimeIndexHook({});
    forcePageAccess(PageAccess::Chosen);
    setExportChunk(DefaultExportChunk);
    setWindowSummary(true);
    setSummaryBlockRowids(DefaultBlockRowids);
}

void SQLThread::setConnectionHook(std::function<void(QSqlDatabase &)> hook)
{
    g_connectionHook = std::move(hook);
}

void SQLThread::setTimeIndexHook(std::function<void()> hook)
{
    g_timeIndexHook = std::move(hook);
}

void SQLThread::forcePageAccess(PageAccess access)
{
    g_pageAccess = access;
}

void SQLThread::setWindowSummary(bool on)
{
    g_windowSummary = on;
}

void SQLThread::setSummaryBlockRowids(qint64 rowids)
{
    SummaryBlockStore::setBlockRowids(rowids);
}

void SQLThread::waitForSummaryBlocks()
{
    summaryBlocks->wait();
}

SQLThread::SQLThread(QObject *parent) : QObject(parent), summaryBlocks(std::make_unique<SummaryBlockStore>())
{
    configureSqliteForImport();
}

SQLThread::~SQLThread()
{
    qDebug() << "线程函数sqltrhead析构";
}

void SQLThread::openConnection(const QString &path)
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ConnectionName);
    db.setDatabaseName(path);
    if (!db.open()) {
        qDebug() << db.lastError();
        return;
    }
    if (g_connectionHook)
        g_connectionHook(db);
    // Only a handle of the library this program links may be interrupted
    // (or given functions) from here.
    if (nativeHandleUsable(db)) {
        registerRecordDatetime(sqliteHandle(db));
        QMutexLocker lock(&handleLock);
        handle = sqliteHandle(db);
    }
}

void SQLThread::closeConnection()
{
    {
        QMutexLocker lock(&handleLock);
        handle = nullptr;
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(ConnectionName);
}

void SQLThread::cancel()
{
    cancelFlag = true;
    stopTimeIndex();
    QMutexLocker lock(&handleLock);
    if (handle)
        sqlite3_interrupt(handle);
    if (summaryPass)
        summaryPass->interrupt();
    if (summaryTail)
        summaryTail->interrupt();
}

void SQLThread::clearCancel()
{
    cancelFlag = false;
}

void SQLThread::stopTimeIndex()
{
    indexWanted = false;
    QMutexLocker lock(&handleLock);
    if (indexHandle)
        sqlite3_interrupt(indexHandle);
}

void SQLThread::finishJob(JobOutcome::Status status, const QString &reason, const QString &report)
{
    // A summary pass still running belongs to a job that failed or was cancelled.
    if (summaryKnown) {
        if (summaryPass)
            summaryPass->interrupt();
        WindowSummary unused;
        endSummaryPass(unused, QString(), false);
        blocksWanted = false;
    }
    // The connection is released before the end report, so whatever job the
    // report lets the user start next finds the connection name free.
    if (db.isValid())
        closeConnection();
    lastOutcome = {status, reason};
    emit PostProgress(report, 100);
}

void SQLThread::finishCancelled()
{
    finishJob(JobOutcome::Cancelled, tr("Cancelled."));
}

void SQLThread::ensureTimeIndex(const QString &table)
{
    // Searches select by datetime(indate). The index is built right after an
    // import (prepareTimeIndex), or else by the first search.
    waitForTimeIndex();
    QSqlQuery(db).exec(timeIndexStatement(table));
}

void SQLThread::finishImport(const QString &table, const QString &report)
{
    // Held from before the report, so that a search the report lets start waits.
    g_timeIndexBuild.lock();
    indexWanted = true;
    finishJob(JobOutcome::Done, QString(), report);
    prepareTimeIndex(table);
}

void SQLThread::prepareTimeIndex(const QString &table)
{
    emit TimeIndexPreparing(true);
    if (g_timeIndexHook)
        g_timeIndexHook();
    {
        QSqlDatabase index = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), IndexConnectionName);
        index.setDatabaseName(recordDatabasePath());
        if (indexWanted && index.open() && nativeHandleUsable(index)) {
            registerRecordDatetime(sqliteHandle(index));
            {
                QMutexLocker lock(&handleLock);
                indexHandle = sqliteHandle(index);
            }
            // A stop between the check and the handle must still count.
            if (indexWanted)
                QSqlQuery(index).exec(timeIndexStatement(table));
            QMutexLocker lock(&handleLock);
            indexHandle = nullptr;
        }
    }
    QSqlDatabase::removeDatabase(IndexConnectionName);
    g_timeIndexBuild.unlock();
    emit TimeIndexPreparing(false);
}

void SQLThread::waitForTimeIndex()
{
    while (!g_timeIndexBuild.tryLock(50)) {
        if (cancelRequested())
            return;
    }
    g_timeIndexBuild.unlock();
}

RecordSpan SQLThread::storedSpan(const QString &table)
{
    QSqlQuery query(db);
    const auto timeAt = [&](const char *order) {
        const bool read = query.exec(QStringLiteral("select indate from main.%1 order by rowid %2 limit 1")
                                         .arg(table, QLatin1String(order)))
            && query.next();
        return read ? parseRecordTime(query.value(0).toString()) : QDateTime();
    };
    return {timeAt("asc"), timeAt("desc")};
}

QStringList SQLThread::readPathsOfLastJob()
{
    QMutexLocker lock(&g_readPathsLock);
    return g_readPaths;
}

void SQLThread::readInTableOrder(const QString &table, bool scan, const char *what)
{
    addReadPath(QStringLiteral("%1 %2").arg(QLatin1String(what), scan ? QStringLiteral("in table order")
                                                                       : QStringLiteral("through the index")));
    // The statements name the table; a view of that name in this
    // connection's temporary schema comes first, reads the same rows without
    // the index, and ends with the connection.
    QSqlQuery query(db);
    query.exec(QStringLiteral("drop view if exists temp.%1").arg(table));
    if (!scan)
        return;
    query.exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
    query.exec(QStringLiteral("create temp view %1 as select rowid as rowid, * from main.%1 not indexed").arg(table));
}

void SQLThread::choosePageAccess(const QString &table, const QDateTime &st, const QDateTime &en, qint64 offset,
                                 int pageSize, qint32 matching)
{
    // The index finds a narrow window at once, but the statements order by
    // rowid, so over a wide window it sorts everything up to the page, where
    // reading the table in order stops at the page.
    bool scan = g_pageAccess == PageAccess::TableOrder;
    if (g_pageAccess == PageAccess::Chosen) {
        const double progress = matching > 0 ? qBound(0.0, double(offset) / matching, 1.0) : 0.0;
        scan = scanReachesPageSooner(windowShareOf(table, st, en), progress, offset + pageSize <= matching);
    }
    readInTableOrder(table, scan, "page");
}

bool SQLThread::windowInTableOrder(const QString &table, const QDateTime &st, const QDateTime &en)
{
    bool scan = g_pageAccess == PageAccess::TableOrder;
    if (g_pageAccess == PageAccess::Chosen)
        scan = scanReadsWindowSooner(windowShareOf(table, st, en));
    addReadPath(scan ? QStringLiteral("window in table order") : QStringLiteral("window through the index"));
    return scan;
}

WindowShare SQLThread::windowShareOf(const QString &table, const QDateTime &st, const QDateTime &en)
{
    const RecordSpan span = readableSpan(table);
    return windowShare(span.first, span.last, st, en);
}

RecordSpan SQLThread::readableSpan(const QString &table)
{
    // Each end reads one entry of the time index. A number as stamp reads as
    // a day of the year -4713, which is no record's time: the span leaves it out.
    QSqlQuery query(db);
    const auto timeAt = [&](const char *end) {
        const bool read = query.exec(QStringLiteral("select %1(datetime(indate)) from main.%2 "
                                                    "where datetime(indate) >= '0001-01-01'")
                                         .arg(QLatin1String(end), table))
            && query.next();
        return read ? parseRecordTime(query.value(0).toString()) : QDateTime();
    };
    return {timeAt("min"), timeAt("max")};
}

void SQLThread::runPagedQuery(const PagedQuery &request)
{
    {
        QMutexLocker lock(&g_readPathsLock);
        g_readPaths.clear();
    }
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const auto failed = [&](const char *trace, const QSqlQuery &query) { failQuery(trace, query); };
    // Results go to the store only when the whole job succeeded, so a failed
    // or cancelled job leaves the shown search's rows and count as they were.
    qint32 count = g_recordCount;
    QVector<RecordRow> rows;
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        const auto run = [&](const QString &statement) {
            if (!query.prepare(statement))
                return false;
            bindWindow(query, request.st, request.en);
            return query.exec();
        };
        if (!request.countStatement.isEmpty()) {
            ensureTimeIndex(request.table);
            if (cancelRequested())
                return finishCancelled();
            if (request.summarize && g_windowSummary)
                startSummaryPasses(request);
            if (!run(request.countStatement) || !query.next())
                return failed("查询命令出错1", query);
            count = query.value(0).toInt();
            if (request.traceCount)
                qDebug() << request.en << "记录数" << count;
        }
        if (cancelRequested())
            return finishCancelled();
        choosePageAccess(request.table, request.st, request.en, request.offset, request.pageSize, count);
        qDebug() << "SQL:" << request.pageStatement;
        if (!run(request.pageStatement))
            return failed("查询命令出错2", query);
        rows.reserve(expectedPageRows(count, request.offset, request.pageSize));
        for (qint64 k = 0; query.next(); ++k)
            rows.append(request.readRow(query, request.offset + k));
        if (query.lastError().isValid() || cancelRequested())
            return failed("查询命令出错2", query);
        if (request.traceRowCount)
            qDebug() << "当前id" << rows.size();
    }
    WindowSummary summary{count, {}};
    if (!endSummaryPass(summary, request.table))
        return;
    if (request.summarize)
        g_summary = summary;
    g_recordCount = count;
    g_records = std::move(rows);
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
    // The blocks are built once the job has ended, for the next searches.
    if (std::exchange(blocksWanted, false))
        summaryBlocks->build(recordDatabasePath(), request.table, request.blockStatement);
}

void SQLThread::failQuery(const char *trace, const QSqlQuery &query)
{
    qDebug() << trace << query.lastError();
    if (cancelRequested())
        finishCancelled();
    else
        finishJob(JobOutcome::Failed, query.lastError().text(), tr("Query executed."));
}

void SQLThread::startSummaryPasses(const PagedQuery &request)
{
    const bool scan = windowInTableOrder(request.table, request.st, request.en);
    const QString path = recordDatabasePath();
    WindowSummary known{0, QList<ValueSummary>(request.valueColumns)};
    QVector<RowRange> ranges; // none: one pass, as SQLite chooses
    if (scan) {
        if (const auto blocks = summaryBlocks->find(path, request.blockStatement)) {
            const SummaryPlan plan = planSummary(*blocks, request.condition);
            known = plan.known;
            ranges = plan.rest;
            addReadPath(QStringLiteral("summary from %1 blocks, %2 records read again")
                            .arg(blocks->size())
                            .arg(plan.restRecords));
        } else {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("select min(rowid), max(rowid) + 1 from main.%1").arg(request.table))
                && query.next())
                ranges << RowRange{query.value(0).toLongLong(), query.value(1).toLongLong()};
            blocksWanted = true;
        }
    }
    QMutexLocker lock(&handleLock);
    summaryKnown = known;
    if (scan && ranges.isEmpty())
        return;
    // In table order the pass splits: the second core takes the first four
    // fifths of the rowids at once, this thread the rest once its count and
    // page are read, so that both end about together.
    const auto parts = scan ? splitRanges(ranges, 0.8) : qMakePair(ranges, QVector<RowRange>());
    const QString statement = request.summaryStatement(scan);
    summaryPass = std::make_unique<SummaryPass>(path, statement, request.st, request.en, parts.first,
                                                request.valueColumns);
    if (!parts.second.isEmpty())
        summaryTail = std::make_unique<SummaryPass>(path, statement, request.st, request.en, parts.second,
                                                    request.valueColumns);
    summaryPass->start();
}

bool SQLThread::endSummaryPass(WindowSummary &summary, const QString &table, bool report)
{
    if (!summaryKnown)
        return true;
    if (report && summaryTail && !cancelRequested())
        summaryTail->run();
    std::unique_ptr<SummaryPass> head, tail;
    WindowSummary known;
    {
        QMutexLocker lock(&handleLock);
        head = std::move(summaryPass);
        tail = std::move(summaryTail);
        known = *summaryKnown;
        summaryKnown.reset();
    }
    QString error;
    WindowSummary earlier, later;
    const bool read = (!head || head->finish(earlier, error)) && (!tail || tail->finish(later, error));
    if (read || !report) {
        summary = mergeSummaries(mergeSummaries(known, earlier), later);
        readExtremeTimes(table, summary);
        return true;
    }
    qDebug() << "summary" << error;
    if (cancelRequested())
        finishCancelled();
    else
        finishJob(JobOutcome::Failed, error, tr("Query executed."));
    return false;
}

void SQLThread::readExtremeTimes(const QString &table, WindowSummary &summary)
{
    QSqlQuery query(db);
    if (table.isEmpty() || !query.prepare(QStringLiteral("select indate from main.%1 where rowid = ?").arg(table)))
        return;
    const auto timeOf = [&](qint64 row) {
        query.bindValue(0, row);
        return query.exec() && query.next() ? recordWallClock(query.value(0).toString()) : QDateTime();
    };
    for (ValueSummary &value : summary.values) {
        if (value.numbers > 0) {
            value.minimumTime = timeOf(value.minimumRow);
            value.maximumTime = timeOf(value.maximumRow);
        }
    }
}

void SQLThread::locateRecord(int familyNumber, TableSearch search, bool chart, qint64 rowid)
{
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    {
        QSqlQuery query(db);
        if (!query.prepare(positionStatement(meterFamily(familyNumber), Meter, search, chart)))
            return failQuery("locate", query);
        bindWindow(query, search.st, search.en);
        query.bindValue(QStringLiteral(":row"), rowid);
        if (!query.exec() || !query.next())
            return failQuery("locate", query);
        g_recordPosition = query.value(0).toLongLong();
    }
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}

void SQLThread::readRecordSpan(int familyNumber)
{
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const QString table = meterFamily(familyNumber).table(Meter);
    // While the index is built the first and last record stored stand for
    // the span: reading it without the index would take as long as the build.
    RecordSpan span;
    if (g_timeIndexBuild.tryLock()) {
        g_timeIndexBuild.unlock();
        ensureTimeIndex(table);
        span = readableSpan(table);
    } else {
        span = storedSpan(table);
    }
    if (cancelRequested())
        return finishCancelled();
    g_recordSpan = span;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}

// A new search sums up its window too (a chart: its window alone).
void describeSummary(PagedQuery &request, const MeterFamily &family, const TableSearch &search, bool chart)
{
    request.summarize = true;
    request.summaryStatement = [&family, search, chart](bool scan) {
        return summaryStatement(family, Meter, search, chart, scan);
    };
    request.blockStatement = summaryBlockStatement(family, Meter, search.idx + 1);
    request.condition = summaryCondition(family, search, chart);
    request.valueColumns = int(family.valueColumns.size());
}

void SQLThread::runTableSearch(const MeterFamily &family, const TableSearch &search)
{
    const int pageRcd = safePageRcd();
    PagedQuery request;
    request.table = family.table(Meter);
    if (search.pageid == -1) {
        request.countStatement = tableCountStatement(family, Meter, search);
        describeSummary(request, family, search, false);
    }
    request.pageStatement = tablePageStatement(family, Meter, search, pageRcd);
    request.st = search.st;
    request.en = search.en;
    request.offset = search.pageid < 0 ? 0 : qint64(search.pageid) * pageRcd;
    request.pageSize = pageRcd;
    request.readRow = [&family, &search](const QSqlQuery &query, qint64 number) {
        RecordRow row = readRecordRow(query, family.tableColumns, search.ishl);
        row.id = int(number);
        if (family.hasChannels())
            row.channel = search.idx + 1;
        return row;
    };
    request.traceRowCount = family.traceTableRowCount;
    runPagedQuery(request);
}

void SQLThread::runChartQuery(const MeterFamily &family, const ChartRequest &chart)
{
    const int plotRcd = safePlotRcd();
    PagedQuery request;
    request.table = family.table(Meter);
    if (chart.pageid == -1) {
        request.countStatement = chartCountStatement(family, Meter);
        describeSummary(request, family, {-1, chart.idx, chart.st, chart.en}, true);
    }
    request.pageStatement = chartPageStatement(family, Meter, chart, plotRcd);
    request.st = chart.st;
    request.en = chart.en;
    request.offset = chart.pageid < 0 ? 0 : qint64(chart.pageid) * plotRcd;
    request.pageSize = plotRcd;
    request.readRow = [&family](const QSqlQuery &query, qint64) {
        return readRecordRow(query, family.chartColumns, false);
    };
    request.traceCount = family.traceChartCount;
    request.traceRowCount = family.traceChartRowCount;
    runPagedQuery(request);
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
