#include "sqlthread.h"

#include "families.h"
#include "nativestatement.h"
#include "recorddatabase.h"
#include "recordfunctions.h"
#include "recordstore.h"
#include "recordtime.h"
#include "rowinserter.h"
#include "settings.h"
#include "rowreader.h"
#include "statements.h"
#include "summaryblocks.h"
#include "recordsums.h"
#include "recordoverview.h"
#include "summaryfunction.h"
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
QMutex g_readPathsLock;
// Held while the sums, the time index (where the statements alone read
// through it) and the overview are built after an import; jobs wait for what they read.
QMutex g_sumsBuild;
QMutex g_timeIndexBuild;
QMutex g_overviewBuild;
std::function<void()> g_preparingHook;
const QString PreparingConnectionName = QStringLiteral("timeindex");
QStringList g_readPaths;
QStringList g_storePaths; // of the last import or addition, kept past later searches

void addReadPath(const QString &path, bool store = false)
{
    QMutexLocker lock(&g_readPathsLock);
    g_readPaths << path;
    if (store)
        g_storePaths << path;
}

// Waits for a build after an import to end; false on a cancel.
bool waitForBuild(QMutex &build, const std::atomic_bool &cancel)
{
    while (!build.tryLock(50)) {
        if (cancel)
            return false;
    }
    build.unlock();
    return true;
}

} // namespace

void SQLThread::bindWindow(QSqlQuery &query, const QDateTime &st, const QDateTime &en)
{
    query.bindValue(QStringLiteral(":indate1"), recordTimeText(st));
    query.bindValue(QStringLiteral(":indate2"), recordTimeText(en));
}

bool SQLThread::waitForSumsBuild()
{
    return waitForBuild(g_sumsBuild, cancelFlag);
}

bool SQLThread::waitForOverviewBuild()
{
    return waitForBuild(g_overviewBuild, cancelFlag);
}

// One page of a table search or a chart, with the count first on a new search.
struct PagedQuery {
    SearchDescription described;
    QString countStatement; // empty on a later page: the shown search's count holds
    QString pageStatement;
    QString summaryStatement; // a new search: its window's summary too
    QString table;
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
    setPreparingHook({});
    setRecordFileHook({});
    refuseRecordFunctions(false);
    forcePageAccess(PageAccess::Chosen);
    setExportChunk(DefaultExportChunk);
    setSummaryBlockRowids(DefaultBlockRowids);
    RecordOverview::setRowsPerTransaction(RecordOverview::DefaultRowsPerTransaction);
}

void SQLThread::setConnectionHook(std::function<void(QSqlDatabase &)> hook)
{
    g_connectionHook = std::move(hook);
}

void SQLThread::setPreparingHook(std::function<void()> hook)
{
    g_preparingHook = std::move(hook);
}

void SQLThread::forcePageAccess(PageAccess access)
{
    g_pageAccess = access;
}

SQLThread::PageAccess SQLThread::pageAccess()
{
    return g_pageAccess == PageAccess::Chosen && !recordFunctionsUsable() ? PageAccess::TimeIndex : g_pageAccess.load();
}

void SQLThread::setSummaryBlockRowids(qint64 rowids)
{
    RecordSums::setBlockRowids(rowids);
}

SQLThread::SQLThread(QObject *parent) : QObject(parent), connectionName(ConnectionName)
{
    configureSqliteForImport();
}

void SQLThread::useOwnConnection()
{
    static std::atomic_int workers{0};
    connectionName = ConnectionName + QLatin1Char('-') + QString::number(++workers);
}

SQLThread::~SQLThread()
{
    qDebug() << "线程函数sqltrhead析构";
}

void SQLThread::openConnection(const QString &path)
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    if (!db.open()) {
        qDebug() << db.lastError();
        return;
    }
    if (g_connectionHook)
        g_connectionHook(db);
    // Only a handle of the library this program links may be interrupted
    // (or given functions) from here.
    if (registerRecordFunctions(db) || nativeHandleUsable(db)) {
        QMutexLocker lock(&handleLock);
        handle = sqliteHandle(db);
    }
}

void SQLThread::closeConnection()
{
    sqlite3 *native = nullptr;
    {
        QMutexLocker lock(&handleLock);
        std::swap(native, handle);
    }
    db.close();
    // A job that ends before its own statements leaves Qt's close refused:
    // the connection then closes with the last of them.
    if (native && NativeStatement::openOn(native) > 0)
        sqlite3_close_v2(native);
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName);
}

void SQLThread::cancel()
{
    cancelFlag = true;
    stopPreparing();
    QMutexLocker lock(&handleLock);
    if (handle)
        sqlite3_interrupt(handle);
}

void SQLThread::clearCancel()
{
    cancelFlag = false;
}

void SQLThread::stopPreparing()
{
    preparingWanted = false;
    QMutexLocker lock(&handleLock);
    if (preparingHandle)
        sqlite3_interrupt(preparingHandle);
}

void SQLThread::finishJob(JobOutcome::Status status, const QString &reason, const QString &report)
{
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
    // The statements alone select by datetime(indate). The index is built
    // right after an import (prepareFigures), or else by the first of them.
    waitForTimeIndex();
    QSqlQuery(db).exec(timeIndexStatement(table));
}

void SQLThread::finishImport(const MeterFamily &family, int meter, const QString &report)
{
    // Held from before the report, so that a search the report lets start waits.
    g_sumsBuild.lock();
    g_timeIndexBuild.lock();
    g_overviewBuild.lock();
    preparingWanted = true;
    finishJob(JobOutcome::Done, QString(), report);
    prepareFigures(family, meter);
}

void SQLThread::prepareFigures(const MeterFamily &family, int meter)
{
    emit FiguresPreparing(true);
    if (g_preparingHook)
        g_preparingHook();
    {
        const QString table = family.table(meter);
        QSqlDatabase preparing = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), PreparingConnectionName);
        preparing.setDatabaseName(recordDatabasePath());
        const bool open = preparingWanted && preparing.open() && nativeHandleUsable(preparing);
        if (open) {
            registerRecordFunctions(preparing);
            QMutexLocker lock(&handleLock);
            preparingHandle = sqliteHandle(preparing);
        }
        // The sums first: every search reads them; a stop between the check
        // and the handle must still count. An addition brings kept sums and
        // a kept overview up to date itself.
        if (open && preparingWanted && recordFunctionsUsable() && !RecordSums::current(preparing, family, meter)) {
            addReadPath(QStringLiteral("sums built after the import"), true);
            RecordSums::build(preparing, family, meter, RecordSums::blockRowids());
        }
        g_sumsBuild.unlock();
        // Where the sums tell where the records of a time lie, no index on
        // the stamps is kept (an earlier version's goes): it cost a third of
        // the records' bytes. The statements alone read through one.
        if (open && preparingWanted)
            QSqlQuery(preparing).exec(pageAccess() == PageAccess::Chosen ? dropTimeIndexStatement(table) : timeIndexStatement(table));
        g_timeIndexBuild.unlock();
        if (open && preparingWanted && !RecordOverview::current(preparing, table)) {
            addReadPath(QStringLiteral("overview built after the import"), true);
            RecordOverview::build(preparing, family, meter, [this] { return !preparingWanted; });
        }
        g_overviewBuild.unlock();
        QMutexLocker lock(&handleLock);
        preparingHandle = nullptr;
    }
    QSqlDatabase::removeDatabase(PreparingConnectionName);
    emit FiguresPreparing(false);
}

void SQLThread::waitForTimeIndex()
{
    waitForBuild(g_timeIndexBuild, cancelFlag);
}

QStringList SQLThread::readPathsOfLastJob()
{
    QMutexLocker lock(&g_readPathsLock);
    return g_readPaths;
}

QStringList SQLThread::readPathsOfLastStore()
{
    QMutexLocker lock(&g_readPathsLock);
    return g_storePaths;
}

void SQLThread::readInTableOrder(const QString &table, bool scan, const QString &path)
{
    addReadPath(path);
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

bool SQLThread::searchBlocks(const SearchDescription &search, QVector<SearchedBlock> &blocks, bool newSearch)
{
    // The pages, links and export of the search shown reuse its blocks; a
    // new search reads them afresh, as the records may have been replaced.
    if (!newSearch && !searchIsStale(search)) {
        blocks = searched;
        return true;
    }
    QByteArray state = recordsState();
    // Right after an import the sums are being built: they come sooner than
    // a pass over the records would.
    if (!waitForBuild(g_sumsBuild, cancelFlag)) {
        finishCancelled();
        return false;
    }
    qint64 blockRowids = 0;
    SummaryBlocks sums;
    if (const auto kept = RecordSums::load(db, search.table, search.columns, &blockRowids)) {
        sums = *kept;
    } else {
        addReadPath(QStringLiteral("sums built"));
        emit PostProgress(tr("Summing up the records..."), 30);
        const QString error = RecordSums::build(db, *search.family, Meter, RecordSums::blockRowids(), search.columns, &sums, &blockRowids);
        state = recordsState(); // the sums written are no change of the records
        if (blockRowids == 0) {
            qDebug() << "查询命令出错1" << error;
            cancelRequested() ? finishCancelled() : finishJob(JobOutcome::Failed, error, tr("Query executed."));
            return false;
        }
    }
    blocks = planSearch(sums, search.condition);
    qint64 read = 0;
    if (!readSearchedBlocks(search, blockRowids, blocks, &read))
        return false;
    addReadPath(QStringLiteral("window from %1 blocks, rowids %2 read").arg(blocks.size()).arg(read));
    keepSearch(search, blocks, state);
    return true;
}

WindowSummary SQLThread::statementSummary(const PagedQuery &request, qint32 count)
{
    WindowSummary summary{count, {}};
    QSqlQuery query(db);
    if (!query.prepare(request.summaryStatement))
        return summary;
    bindWindow(query, request.st, request.en);
    if (query.exec() && query.next()) {
        for (int c = 1; c < query.record().count(); ++c)
            summary.values << valueSummary(summaryTotals(query.value(c)));
    }
    return summary;
}

void SQLThread::startReadPaths(bool store)
{
    QMutexLocker lock(&g_readPathsLock);
    g_readPaths.clear();
    if (store)
        g_storePaths.clear();
}

void SQLThread::noteReadPath(const QString &path, bool store)
{
    addReadPath(path, store);
}

void SQLThread::runPagedQuery(const PagedQuery &request)
{
    startReadPaths();
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const auto failed = [&](const char *trace, const QSqlQuery &query) { failQuery(trace, query); };
    // Results go to the store only when the whole job succeeded, so a failed
    // or cancelled job leaves the shown search's rows and count as they were.
    qint32 count = g_recordCount;
    QVector<RecordRow> rows;
    WindowSummary summary;
    const bool fromSums = pageAccess() == PageAccess::Chosen;
    const bool counting = !request.countStatement.isEmpty() || (fromSums && searchIsStale(request.described));
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        const auto run = [&](const QString &statement, const std::optional<PageStart> &start) {
            if (!query.prepare(statement))
                return false;
            bindWindow(query, request.st, request.en);
            if (start) {
                query.bindValue(QStringLiteral(":rowfrom"), start->fromRow);
                query.bindValue(QStringLiteral(":rowto"), start->toRow);
            }
            return query.exec();
        };
        QVector<SearchedBlock> blocks;
        if (fromSums) {
            if (!searchBlocks(request.described, blocks, counting))
                return;
            if (counting) {
                SummaryTotals none{};
                QVector<SummaryTotals> totals(request.described.columns.size(), none);
                qint64 matching = 0;
                for (const SearchedBlock &block : std::as_const(blocks)) {
                    matching += block.matching;
                    for (int c = 0; c < block.totals.size() && c < totals.size(); ++c)
                        addTotals(totals[c], block.totals.at(c));
                }
                count = qint32(matching);
                summary.count = count;
                for (const SummaryTotals &column : std::as_const(totals))
                    summary.values << valueSummary(column);
                if (request.traceCount)
                    qDebug() << request.en << "记录数" << count;
            }
        } else if (!request.countStatement.isEmpty()) {
            ensureTimeIndex(request.table);
            if (cancelRequested())
                return finishCancelled();
            if (!run(request.countStatement, std::nullopt) || !query.next())
                return failed("查询命令出错1", query);
            count = query.value(0).toInt();
            if (request.traceCount)
                qDebug() << request.en << "记录数" << count;
            summary = statementSummary(request, count);
        }
        if (cancelRequested())
            return finishCancelled();
        // The page: from the block that holds its first record, or by the
        // statement alone.
        QString statement = request.pageStatement;
        std::optional<PageStart> start;
        if (fromSums) {
            start = pageStart(blocks, request.offset);
            statement = pageStatementFrom(statement, start->skip);
            readInTableOrder(request.table, true,
                             QStringLiteral("page from the sums, rowids %1 to %2").arg(start->fromRow).arg(start->toRow));
        } else {
            const bool scan = pageAccess() == PageAccess::TableOrder;
            readInTableOrder(request.table, scan,
                             (scan ? QStringLiteral("page in table order") : QStringLiteral("page through the index"))
                                 + (recordFunctionsUsable() ? QString() : QStringLiteral(", by the statements alone")));
        }
        qDebug() << "SQL:" << statement;
        if (!run(statement, start))
            return failed("查询命令出错2", query);
        rows.reserve(expectedPageRows(count, request.offset, request.pageSize));
        for (qint64 k = 0; query.next(); ++k)
            rows.append(request.readRow(query, request.offset + k));
        if (query.lastError().isValid() || cancelRequested())
            return failed("查询命令出错2", query);
        if (request.traceRowCount)
            qDebug() << "当前id" << rows.size();
    }
    if (counting) {
        readExtremeTimes(request.table, summary);
        g_summary = summary;
    }
    g_recordCount = count;
    g_records = std::move(rows);
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}

void SQLThread::failQuery(const char *trace, const QSqlQuery &query)
{
    qDebug() << trace << query.lastError();
    if (cancelRequested())
        finishCancelled();
    else
        finishJob(JobOutcome::Failed, query.lastError().text(), tr("Query executed."));
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

bool SQLThread::sumsBuilding()
{
    if (!g_sumsBuild.tryLock())
        return true;
    g_sumsBuild.unlock();
    return false;
}

void SQLThread::runTableSearch(const MeterFamily &family, const TableSearch &search)
{
    const int pageRcd = safePageRcd();
    PagedQuery request;
    request.described = describeSearch(family, Meter, search, false);
    request.table = family.table(Meter);
    if (search.pageid == -1) {
        request.countStatement = tableCountStatement(family, Meter, search);
        request.summaryStatement = summaryStatement(family, Meter, search, false);
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
    const TableSearch window{-1, chart.idx, chart.st, chart.en};
    PagedQuery request;
    request.described = describeSearch(family, Meter, window, true);
    request.table = family.table(Meter);
    if (chart.pageid == -1) {
        request.countStatement = chartCountStatement(family, Meter);
        request.summaryStatement = summaryStatement(family, Meter, window, true);
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
