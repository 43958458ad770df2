#ifndef TABLEPAGES_H
#define TABLEPAGES_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

struct sqlite3;

// Reads the rows of a table straight from the pages of its database file,
// in rowid order, without SQLite's machine between: several times quicker
// when every record of a year must be read. Each read() must lie inside a
// read transaction of a connection to the file (rollback mode), so that no
// writer can change the file meanwhile; a read starts from the file afresh.
// Any page it cannot make sense of ends the read with a reason, never with a guess.
class TablePages
{
public:
    // A stored value: its SQLite type (SQLITE_NULL, _INTEGER, _FLOAT, _TEXT, _BLOB).
    struct Field {
        int type = 0;
        qint64 integer = 0;
        double real = 0;
        const char *bytes = nullptr; // of a text or blob
        qint64 size = 0;
    };
    using Row = std::function<void(qint64 rowid, const Field *fields, int count)>;

    // `handle` names the file and the table.
    TablePages(sqlite3 *handle, const QString &table);
    ~TablePages();
    TablePages(const TablePages &) = delete;
    TablePages &operator=(const TablePages &) = delete;

    // Empty when the file can be read so; else why not (then SQLite reads it).
    QString refusal() const { return refused; }
    // Calls `row` for each row with from <= rowid < to; false (and error()) on a page that does not parse.
    bool read(qint64 from, qint64 to, const Row &row);
    QString error() const { return failure; }
    // The table's columns in order, as the fields of a row come.
    const QStringList &columnNames() const { return names; }
    // Whether a column has text affinity: it holds texts, blobs and NULL alone.
    bool holdsText(int column) const;

private:
    void readColumns(sqlite3 *handle, const QByteArray &table);
    bool walk(quint32 page, qint64 from, qint64 to, int depth, const Row &row);
    bool readLeaf(const unsigned char *page, int header, qint64 from, qint64 to, const Row &row);
    bool payloadOf(const unsigned char *page, int at, qint64 size, const unsigned char **payload);
    bool decode(const unsigned char *record, qint64 size, qint64 rowid, const Row &row);
    // The page's bytes, valid until the next call; null past the file's end or on a failed read.
    const unsigned char *page(quint32 number);
    bool fail(const QString &why);

    int file = -1;
    quint32 pageSize = 0, usableSize = 0, pageCount = 0, rootPage = 0;
    int columns = 0;
    QStringList names;
    std::vector<bool> textColumns, realColumns;
    QString refused, failure;
    // Pages are read a run at a time: a table written in rowid order lies mostly in file order.
    std::vector<unsigned char> run;
    quint32 runFirst = 0, runPages = 0;
    std::vector<std::vector<unsigned char>> interior; // a copy of each level's last interior page
    std::vector<quint32> interiorPages;               // their numbers (0: none)
    quint64 fileState = 0;
    quint32 visited = 0; // pages of the tree in this read
    qint64 rowsRead = 0, lastRowid = 0;                            // the change counter and size the pages kept were read at
    std::vector<unsigned char> assembled;             // a payload that overflows its page
    std::vector<Field> fields;
};

#endif
