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
    SummaryPass() = default;
    SummaryPass(const SummaryPass &) = delete;
    SummaryPass &operator=(const SummaryPass &) = delete;
    ~SummaryPass(); // waits for the pass

    void start(const QString &database, const QString &statement, const QString &table, const QDateTime &st,
               const QDateTime &en);
    // Waits for the pass; false, with SQLite's reason, when it failed.
    bool finish(WindowSummary &summary, QString &error);
    // Stops a running pass at once; safe from any thread.
    void interrupt();

private:
    void run(const QString &database, const QString &statement, const QString &table, const QDateTime &st,
             const QDateTime &en);

    std::thread thread;
    QMutex handleLock;
    sqlite3 *handle = nullptr;
    std::atomic_bool interrupted{false};
    WindowSummary result;
    QString failure;
};

#endif
