#ifndef SUMMARYPASS_H
#define SUMMARYPASS_H

#include "windowsummary.h"

#include <QDateTime>
#include <QMutex>
#include <QString>
#include <atomic>
#include <thread>

struct sqlite3;

// Reads the summary of a searched window on a connection and a thread of its
// own, so that its pass over the window runs beside the count and the page
// on the machine's second core instead of after them.
class SummaryPass
{
public:
    // The pass of `statement` over the rowids from `fromRow` up to `toRow`
    // (when the statement reads the table in order).
    SummaryPass(const QString &database, const QString &statement, const QString &table, const QDateTime &st,
                const QDateTime &en, qint64 fromRow, qint64 toRow);
    SummaryPass(const SummaryPass &) = delete;
    SummaryPass &operator=(const SummaryPass &) = delete;
    ~SummaryPass(); // waits for the pass

    void start(); // on a thread of its own
    void run();   // here
    // Waits for the pass; false, with SQLite's reason, when it failed.
    bool finish(WindowSummary &summary, QString &error);
    // Stops a running pass at once; safe from any thread.
    void interrupt();

private:
    const QString database;
    const QString statement;
    const QString table;
    const QDateTime st;
    const QDateTime en;
    const qint64 fromRow;
    const qint64 toRow;
    std::thread thread;
    QMutex handleLock;
    sqlite3 *handle = nullptr;
    std::atomic_bool interrupted{false};
    WindowSummary result;
    QString failure;
};

#endif
