#ifndef READAHEAD_H
#define READAHEAD_H

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

struct sqlite3;

// Reads on a core of its own, through a read-only connection of its own,
// what a walk will need next, while the walk goes on with what it has: the
// reads run one after the other in the order asked, and the walk waits for
// each in that order.
class ReadAhead
{
public:
    explicit ReadAhead(const QString &databasePath);
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // Empty when it reads; else why its connection could not be opened.
    QString openError() const { return opening; }
    // For the statements its reads use, prepared before the first is asked for.
    sqlite3 *connection() const { return handle; }
    // `read` writes what it read where the caller will find it; false when SQLite failed.
    void request(std::function<bool()> read);
    // Waits for the oldest read not yet waited for: whether it read (false
    // too when `cancelled` said so while waiting).
    bool waitForNext(const std::function<bool()> &cancelled);
    // Whether the reads are to stop: a read that takes long asks it now and then.
    bool stopping() const { return stopped; }
    // Stops the reads and waits for the one running; before the statements they use go.
    void stop();
    QString error() const;

private:
    void run();

    sqlite3 *handle = nullptr;
    QString opening;
    mutable std::mutex lock;
    std::condition_variable changed;
    std::deque<std::function<bool()>> requests;
    std::deque<bool> done; // of the reads run and not yet waited for
    QString failure;
    std::atomic_bool stopped{false};
    std::thread reader;
};

#endif
