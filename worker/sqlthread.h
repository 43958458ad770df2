#ifndef SQLTHREAD_H
#define SQLTHREAD_H

#include "channellimits.h"
#include "periods.h"
#include "importedfiles.h"
#include "importreport.h"
#include "joboutcome.h"
#include "otheroverview.h"
#include "overviewcells.h"
#include "summaryblocks.h"
#include "windowsummary.h"

#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QSqlDatabase>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

struct MeterFamily;
struct TableSearch;
struct ChartRequest;
struct PagedQuery;
struct RecordSpan;
class StampBlocks;
class ExcursionList;
struct ModelChoice;
class ImportGathering;
class RowInserter;
class FileTally;
class Sha256;
class QSqlQuery;
class QIODevice;
struct sqlite3;

// Does all database work on the thread it is moved to. Each job opens the
// connection "dbnamelog", does its work and removes the connection again.
// Every job ends with one report of value 100, after which outcome() says
// whether it was done, failed or cancelled.
class SQLThread : public QObject
{
    Q_OBJECT
public:
    explicit SQLThread(QObject *parent = nullptr);
    ~SQLThread() override;
    // A worker whose jobs run beside the others' (a chart's refining) opens
    // a connection of its own name, so that neither removes the other's.
    void useOwnConnection();

    // Puts every knob below back as a program that sets none has it.
    static void restoreDefaults();
    // Runs on every connection a job opens; tests use it to simulate a full disk.
    static void setConnectionHook(std::function<void(QSqlDatabase &)> hook);
    // How page jobs read a window: from the sums of blocks kept with the
    // records (Chosen), or by the statements alone, in table order or through
    // the time index (tests compare every way against the same records).
    // Without the worker's own SQL functions (recordFunctionsUsable()),
    // Chosen reads by the statements alone, through the time index.
    enum class PageAccess { Chosen, TableOrder, TimeIndex };
    static void forcePageAccess(PageAccess access);
    static PageAccess pageAccess();
    // Whether the worker's own SQL functions could be registered on every
    // connection so far; when not (Qt's SQLite driver uses another SQLite
    // than this program), recordFunctionsNote() says so for the window.
    static bool recordFunctionsUsable();
    static QString recordFunctionsNote();
    // Makes the registration fail from now on, as with such a driver (tests).
    static void refuseRecordFunctions(bool refuse);
    // Makes the device every import and addition reads a record file from
    // (tests make one fail part-way, as a card reader can).
    static void setRecordFileHook(std::function<std::unique_ptr<QIODevice>(const QString &path)> open);
    // Rows an export reads per statement (tests use small chunks).
    static constexpr int DefaultExportChunk = 50000;
    static void setExportChunk(int rows);
    // Rowids per block of the sums built from now on (tests use tiny blocks).
    static void setSummaryBlockRowids(qint64 rowids);
    // Runs in the builds after an import, before the sums are built (tests
    // hold the builds there).
    static void setPreparingHook(std::function<void()> hook);
    // How the last page or chart job read its window, one line per statement:
    // "page in table order", "window through the index"...; after an import
    // or an addition, how its sums were brought up to date.
    static QStringList readPathsOfLastJob();
    // The same of the last import or addition, whatever searches came after.
    static QStringList readPathsOfLastStore();

    // Asks the running job to stop; safe from any thread. The job rolls back
    // and ends with "Cancelled." promptly. A request that comes while no job
    // runs holds for the next one, until clearCancel().
    void cancel();
    // Called by the owner before it sends a request (no job runs then).
    void clearCancel();
    // Stops the builds of the sums and the overview after an import, if they
    // run; safe from any thread. A later search builds them instead.
    void stopPreparing();
    // How the last job ended; read after its final report.
    JobOutcome outcome() const { return lastOutcome; }
    // What the last import or addition that was done did with each file.
    ImportReport importReport() const { return lastReport; }
    // The last record's time before and after the last addition that was done.
    QPair<QDateTime, QDateTime> lastRecordAroundAddition() const { return lastAround; }
    // The last overview drawn.
    Overview overview() const { return lastOverview; }
    // Of the other instruments' columns asked with it, in their order.
    QList<OtherOverview> otherOverviews() const { return lastOthers; }

    // A job, called on the worker's thread: the place of record `rowid` in
    // the window of `search` (a chart: its window alone), in g_recordPosition.
    void locateRecord(int familyNumber, TableSearch search, bool chart, qint64 rowid);
    // A job: the first record of `search` (a chart: of its window) stamped
    // at or after `at` (`backwards`: the last at or before it), in g_recordAtTime.
    void findRecordAt(int familyNumber, TableSearch search, bool chart, QDateTime at, bool backwards);
    // A job: the overview of value columns of the meter's table over the
    // window at `width` pixel columns, in overview().
    // With it, the same plan of columns of other instruments, read only.
    void drawOverview(int familyNumber, QStringList columns, QDateTime st, QDateTime en, int width,
                      QList<OtherColumn> others = {});
    // A job: the stamps of the first and last record of the imported table
    // (of those with a readable stamp), in g_recordSpan.
    void readRecordSpan(int familyNumber);
    // A job: the excursions of one value column (`column` of the meter's
    // table) over the window from `limits`, in g_excursions.
    void findWindowExcursions(int familyNumber, QString column, QDateTime st, QDateTime en, ChannelLimits limits);
    // A job: the figures of one value column over the window by periods of `length`, in g_periods.
    void tabulateWindowPeriods(int familyNumber, QString column, QDateTime st, QDateTime en, ChannelLimits limits,
                               PeriodLength length);
    // A job: the figures of one value column over the seconds [st, en], in g_spanFigures.
    void measureSpan(int familyNumber, QString column, QDateTime st, QDateTime en, ChannelLimits limits);
    // A job: the imported files the window's records came from and a digest
    // of those records, in g_recordSources.
    void readRecordSources(int familyNumber, QDateTime st, QDateTime en);
    // A job: the record of imported files of the meter's table, in importedFiles().
    void listImportedFiles();
    // A job: takes out the records of the imported file `name`, its entry and
    // what the sums and the overview kept of them, in one transaction.
    void removeImportedFile(QString name);
    QList<ImportedFiles::Listed> importedFiles() const { return lastFiles; }

signals:
    void PostProgress(QString str, int setp);
    // The sums and the overview are being built after an import (true), or no longer (false).
    void FiguresPreparing(bool preparing);

public slots:
    void dn_Record_Search1(int pageid, int idx, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);
    void dn_Record_Cart1(bool qx, int pageid, int idx, QDateTime st, QDateTime en);
    void dn_Record_Search2(int pageid, int idx, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);
    void dn_Record_Cart2(bool qx, int pageid, int idx, QDateTime st, QDateTime en);
    void dn_Record_Search3(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);
    void dn_Record_Cart3(bool qx, int pageid, QDateTime st, QDateTime en);
    void dn_Record_Search4(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, double th1, double th2, bool ishl);
    void dn_Record_Cart4(bool qx, int pageid, QDateTime st, QDateTime en);
    void dn_Record_Search5(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);
    void dn_Record_Cart5(bool qx, int pageid, QDateTime st, QDateTime en);
    void dn_importCSV(QStringList files);
    // Adds record files to the records there: files already imported with
    // the same content are skipped, files of an imported name with other
    // content replace its records, in one transaction.
    void dn_addCSV(QStringList files);
    // Files whose records the next addition may replace by other records
    // (the user said yes); called by the owner before it sends the request.
    void allowReplacing(const QStringList &paths);
    // Writes every record of a table search to a CSV file, page by page.
    void dn_exportTable(int family, int idx, QDateTime st, QDateTime en, double pv1, double pv2, double th1,
                        double th2, bool ishl, int total, QString path);

private:
    void openConnection(const QString &path);
    void closeConnection();
    bool cancelRequested() const { return cancelFlag.load(); }
    // Releases the connection, records the outcome and sends the final report.
    void finishJob(JobOutcome::Status status, const QString &reason, const QString &report);
    void finishJob(JobOutcome::Status status, const QString &reason) { finishJob(status, reason, reason); }
    void finishCancelled();

    // The model named by VNMETER.INI beside the files, with the files that
    // may be record files left in `files`; ends the job when there is none.
    ModelChoice chosenModel(QStringList &files);
    void importModel(const ModelChoice &model, const QStringList &files);
    void addRecords(const ModelChoice &model, const QStringList &files);
    FileReport::Outcome additionOutcome(const std::optional<ImportedFiles::Entry> &entry, const FileReport &file,
                                        const QString &table, qint64 firstRowid);
    // Stores one file's records (from rowid *firstRowid on) and notes the
    // file; `gathering`, where given, makes what is kept beside them meanwhile.
    QString storeRecordFile(RowInserter &inserter, const QString &table, int fieldCount, bool traceEachField,
                            FileReport &report, qint64 *firstRowid, ImportGathering *gathering = nullptr);
    void importFamily1(QStringList files, int channels);
    void importFamily2(QStringList files, int channels);
    void importFamily3(QStringList files);
    void importFamily4(QStringList files);
    void importFamily5(QStringList files);
    void importRecords(int family, int tableCode, const QStringList &files);
    void failImport(const QString &reason, const QString &report);
    // Ends a successful import, then builds its table's sums and overview
    // while the user sets the criteria.
    void finishImport(const MeterFamily &family, int meter, const QString &report);

    // The index on the stamps that the statements alone read through.
    void ensureTimeIndex(const QString &table);
    // Builds the imported table's sums, then its overview, while the user
    // sets the criteria, on its own connection; holds g_sumsBuild,
    // g_timeIndexBuild (the index's build or removal) and g_overviewBuild
    // until each is done.
    void prepareFigures(const MeterFamily &family, int meter);
    // Waits for a time index build to end; returns early on a cancel.
    void waitForTimeIndex();
    // Whether the sums are being built after an import.
    static bool sumsBuilding();
    // The stamps of the first and last record stored, each read once.
    RecordSpan storedSpan(const QString &table);
    // Reads the table in order (scan) or as SQLite chooses; `path` joins the read paths.
    void readInTableOrder(const QString &table, bool scan, const QString &path);
    // The first and last readable stamp of the table: read in the blocks that
    // `stamps` says hold them, else through the time index where there is one.
    RecordSpan readableSpan(const QString &table, const StampBlocks &stamps);
    void runTableSearch(const MeterFamily &family, const TableSearch &search);
    void runChartQuery(const MeterFamily &family, const ChartRequest &request);
    void runPagedQuery(const PagedQuery &request);
    void failQuery(const char *trace, const QSqlQuery &query);
    // The window's records of `column`, in the order of the wall clock; false: the job ended so.
    // The set value of each alarm run at its start, from its alNvalue column; false: the job ended so.
    bool readAlarmSettings(const QString &table, ExcursionList &excursions);
    bool readWindowPoints(int familyNumber, const QString &column, const QDateTime &st, const QDateTime &en,
                          QList<ExcursionPoint> *points);
    // The window's records of `column` fed in time order to an excursion
    // finder and to `periods` (if any): through the overview's hours and
    // minutes wherever one decides what each of its records does, else record
    // by record (all of them when the page access is forced). The excursions
    // found (none asked for: counted into the periods as they are found) and
    // the gap between records that the window's logging interval gives;
    // false: the job ended so.
    bool walkWindow(int familyNumber, const QString &column, const QDateTime &st, const QDateTime &en,
                    const ChannelLimits &limits, ExcursionList *excursions, qint64 *gapSeconds,
                    PeriodTabulator *periods);
    // The overview of the family's table, built now where none is kept; false: the job ended so.
    bool overviewReady(const MeterFamily &family);
    static void bindWindow(QSqlQuery &query, const QDateTime &st, const QDateTime &en);
    // Wait for the sums or the overview built after an import; false on a cancel.
    bool waitForSumsBuild();
    bool waitForOverviewBuild();
    // `store`: an import or an addition starts.
    static void startReadPaths(bool store = false);
    // A path of the job; `store`: of an import or an addition.
    static void noteReadPath(const QString &path, bool store = true);
    // The blocks of which some record of the search may match, with their
    // matching records: from the sums kept, which are built first where there
    // are none; empty (the job ended so) when that failed.
    bool searchBlocks(const SearchDescription &search, QVector<SearchedBlock> &blocks, bool newSearch);
    // Fills the blocks to be read with their matching records, adding up the rowids read.
    bool readSearchedBlocks(const SearchDescription &search, qint64 blockRowids, QVector<SearchedBlock> &blocks,
                            qint64 *read);
    // What changes with any write to the records' file.
    QByteArray recordsState();
    // Whether the shown search is another, or its records changed since (an
    // addition): then a page of it searches and counts anew.
    bool searchIsStale(const SearchDescription &search);
    void keepSearch(const SearchDescription &search, const QVector<SearchedBlock> &blocks, const QByteArray &state);
    bool readPackedBlocks(const SearchDescription &search, qint64 blockRowids, QVector<SearchedBlock> &blocks,
                          std::vector<char> &decided);
    // The sources job's digest of a window's records, each counted in `tally`.
    bool digestByBlocks(const MeterFamily &family, const QStringList &columns, const QDateTime &st,
                        const QDateTime &en, Sha256 &digest, FileTally &tally);
    bool digestByStatement(const QString &table, const QStringList &columns, const QDateTime &st,
                           const QDateTime &en, Sha256 &digest, FileTally &tally);
    // The summary of the window by one statement over it; none when it fails.
    WindowSummary statementSummary(const PagedQuery &request, qint32 count);
    // The stamps of the records that hold the summary's extremes.
    void readExtremeTimes(const QString &table, WindowSummary &summary);

    QSqlDatabase db;
    QString connectionName;
    JobOutcome lastOutcome;
    ImportReport lastReport;
    Overview lastOverview;
    QList<OtherOverview> lastOthers;
    std::atomic_bool cancelFlag{false};
    QMutex handleLock;          // guards `handle` against a cancel from another thread
    sqlite3 *handle = nullptr;  // the open connection's handle, when it may be interrupted
    sqlite3 *preparingHandle = nullptr; // the connection of the builds after an import, likewise
    std::atomic_bool preparingWanted{false};
    // The blocks of the last new search, for its page turns, links and export.
    QStringList replacingAllowed;
    QPair<QDateTime, QDateTime> lastAround;
    QList<ImportedFiles::Listed> lastFiles;
    QString searchedKey;
    QByteArray searchedState; // of the database file when the shown search began
    QVector<SearchedBlock> searched;
};

#endif
