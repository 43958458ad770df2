#ifndef SUMMARYPASS_H
#define SUMMARYPASS_H

#include "summaryblocks.h"

#include <QMutex>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

struct sqlite3;

// A read-only connection of a pass's own, with the worker's functions,
// that another thread may interrupt at any time.
class PassConnection
{
public:
    PassConnection() = default;
    PassConnection(const PassConnection &) = delete;
    PassConnection &operator=(const PassConnection &) = delete;
    ~PassConnection() { close(); }

    bool open(const QString &database); // false: error() tells why
    void close();
    sqlite3 *handle() const { return db; }
    QString error() const;
    void interrupt();
    bool interrupted() const { return stopped; }

private:
    QMutex handleLock;
    sqlite3 *db = nullptr;
    std::atomic_bool stopped{false};
};

// Reads the summary of a searched window on a connection and a thread of its
// own, so that its pass over the window runs beside the count and the page
// on the machine's second core instead of after them.
class SummaryPass
{
public:
    // The pass of `statement`; in table order, over the rowids of `ranges`.
    SummaryPass(const QString &database, const QString &statement, const QDateTime &st, const QDateTime &en,
                const QVector<RowRange> &ranges, int valueColumns);
    SummaryPass(const SummaryPass &) = delete;
    SummaryPass &operator=(const SummaryPass &) = delete;
    ~SummaryPass(); // waits for the pass

    void start(); // on a thread of its own
    void run();   // here
    // Waits for the pass; false, with SQLite's reason, when it failed. The
    // extremes' times are left to the caller.
    bool finish(WindowSummary &summary, QString &error);
    // Stops a running pass at once; safe from any thread.
    void interrupt() { connection.interrupt(); }

private:
    bool runOver(const RowRange *range);

    const QString database;
    const QString statement;
    const QDateTime st;
    const QDateTime en;
    const QVector<RowRange> ranges;
    std::thread thread;
    PassConnection connection;
    WindowSummary result;
    QString failure;
};

// Sums up a table in blocks of rowids (see summaryBlockStatement) on a
// connection and a thread of its own.
class SummaryBlockBuild
{
public:
    // `keep` runs on the build's thread with the blocks once they are built.
    SummaryBlockBuild(const QString &database, const QString &table, const QString &statement, qint64 blockRowids,
                      std::function<void(const SummaryBlocks &)> keep);
    SummaryBlockBuild(const SummaryBlockBuild &) = delete;
    SummaryBlockBuild &operator=(const SummaryBlockBuild &) = delete;
    ~SummaryBlockBuild(); // stops the build and waits for it

    void start();
    bool finished() const { return done; }
    // Waits for the build: its blocks, or none when it failed or was stopped.
    std::shared_ptr<const SummaryBlocks> take();

private:
    void run();

    const QString database;
    const QString table;
    const QString statement;
    const qint64 blockRowids;
    const std::function<void(const SummaryBlocks &)> keep;
    std::thread thread;
    PassConnection connection;
    std::atomic_bool done{false};
    std::shared_ptr<SummaryBlocks> blocks;
};

#endif
