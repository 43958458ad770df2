#ifndef READTRANSACTION_H
#define READTRANSACTION_H

#include <QString>

struct sqlite3;

// A read transaction on a connection's own handle, for the readers that go
// past SQLite to the file: while it lasts no writer can commit (rollback
// mode). Inside a transaction the connection holds already, it is that one.
// It must end before the job ends, which closes the connection.
class ReadTransaction
{
public:
    explicit ReadTransaction(sqlite3 *handle);
    ~ReadTransaction() { end(); }
    ReadTransaction(const ReadTransaction &) = delete;
    ReadTransaction &operator=(const ReadTransaction &) = delete;

    // Empty when it holds the file; else SQLite's reason.
    QString error() const { return failure; }
    void end();

private:
    sqlite3 *handle = nullptr; // none once ended, or where the transaction is another's
    QString failure;
};

#endif
