#ifndef RECORDDIGEST_H
#define RECORDDIGEST_H

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class FileTally;
class Sha256;
struct sqlite3;
namespace ImportedFiles {
struct Entry;
}

// The digest of a window's records in rowid order: two connections of their
// own make the records' texts, a core each, while the calling thread hashes
// the texts in order, so that a year's records take half the time of one
// reader. The caller holds a read transaction meanwhile, so that both read
// the same records.
class RecordDigest
{
public:
    // The rowids [fromRow, toRow); only an edge's records are held to the window.
    struct Piece {
        qint64 fromRow = 0, toRow = 0;
        bool edge = false;
    };

    RecordDigest(const QString &databasePath, const QString &table, const QStringList &columns,
                 const QString &from, const QString &to, const QList<ImportedFiles::Entry> &entries);
    ~RecordDigest();
    RecordDigest(const RecordDigest &) = delete;
    RecordDigest &operator=(const RecordDigest &) = delete;

    // Empty when both connections read; else why one could not be opened.
    QString openError() const { return opening; }
    // Hashes the records of `pieces` into `digest` and counts them into
    // `tally`; `going(done, of)` after each piece, false to stop. False when
    // a reader failed (error()) or `going` stopped it.
    bool digest(const QList<Piece> &pieces, Sha256 &digest, FileTally &tally,
                const std::function<bool(qsizetype, qsizetype)> &going);
    QString error() const;
    // How many pieces of the last digest were read from the file's pages, not through SQLite.
    qsizetype piecesFromPages() const { return fromPages; }

    static constexpr int Readers = 2;

private:
    struct Reader;
    static QString open(Reader &reader, const QString &databasePath, const QString &whole, const QString &edge);
    void read(Reader &reader, const QList<Piece> &pieces);
    bool readPiece(Reader &reader, const Piece &piece, QString *reason);
    void stop();

    std::vector<std::unique_ptr<Reader>> readers;
    QString opening;
    // Pieces read and not yet hashed, in slots of their number modulo InFlight.
    static constexpr qsizetype InFlight = 6;
    mutable std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> texts;
    std::vector<bool> ready;
    qsizetype nextToRead = 0, hashed = 0;
    QString failure;
    std::atomic_bool stopping{false};
    std::atomic<qsizetype> fromPages{0};
};

#endif
