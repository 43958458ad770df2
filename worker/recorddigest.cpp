#include "recorddigest.h"

#include "filetally.h"
#include "freedmemory.h"
#include "importedfiles.h"
#include "nativestatement.h"
#include "recorddatetime.h"
#include "recordtext.h"
#include "sha256.h"
#include "tablepages.h"

#include <QCoreApplication>
#include <sqlite3.h>
#include <thread>

struct RecordDigest::Reader {
    explicit Reader(const QList<ImportedFiles::Entry> &entries) : tally(entries) {}
    ~Reader()
    {
        whole.reset();
        edge.reset();
        text.reset();
        sqlite3_close_v2(handle);
    }

    // record_digest(rowid, field, ...): SQLite calls it for each record in
    // turn, so that the fields come as values, with no step of a statement
    // and no call per field.
    static void add(sqlite3_context *context, int count, sqlite3_value **values)
    {
        auto *reader = static_cast<Reader *>(sqlite3_user_data(context));
        reader->tally.count(sqlite3_value_int64(values[0]));
        reader->text->append(values + 1, count - 1);
    }

    sqlite3 *handle = nullptr;
    std::unique_ptr<NativeStatement> whole, edge;
    std::unique_ptr<TablePages> pages;
    std::unique_ptr<RecordText> text;
    FileTally tally;
    std::thread thread;
};

RecordDigest::RecordDigest(const QString &databasePath, const QString &table, const QStringList &columns,
                           const QString &from, const QString &to, const QList<ImportedFiles::Entry> &entries)
{
    QStringList quoted;
    for (const QString &name : columns)
        quoted << QLatin1Char('"') + name + QLatin1Char('"');
    // The function returns null: no row is made, no aggregate stepped.
    const QString select = QStringLiteral("select 1 from main.%1 not indexed where rowid >= ?1 and rowid < ?2 and ").arg(table);
    const QString digested = QStringLiteral("record_digest(rowid, %1)").arg(quoted.join(QStringLiteral(", ")));
    const QString whole = select + digested,
                  edge = select + QStringLiteral("case when datetime(indate) between ?3 and ?4 then %1 end").arg(digested);
    for (int r = 0; r < Readers && opening.isEmpty(); ++r) {
        auto reader = std::make_unique<Reader>(entries);
        opening = open(*reader, databasePath, whole, edge);
        if (opening.isEmpty())
            reader->pages = std::make_unique<TablePages>(reader->handle, table);
        if (opening.isEmpty()) {
            reader->edge->bind(3, from);
            reader->edge->bind(4, to);
            readers.push_back(std::move(reader));
        }
    }
}

// Empty, or why SQLite refused it.
QString RecordDigest::open(Reader &reader, const QString &databasePath, const QString &whole, const QString &edge)
{
    // One thread uses it (an interrupt is safe from any): no mutex around each call.
    if (sqlite3_open_v2(databasePath.toUtf8().constData(), &reader.handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(reader.handle));
    sqlite3_busy_timeout(reader.handle, 5000);
    reader.text = std::make_unique<RecordText>(reader.handle);
    // The window's edges are held to datetime(indate) as the caller's connection computes it.
    registerRecordDatetime(reader.handle);
    if (sqlite3_create_function_v2(reader.handle, "record_digest", -1, SQLITE_UTF8, &reader, &Reader::add, nullptr,
                                   nullptr, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(reader.handle));
    // A read transaction to the end, as the caller's: the records cannot change between the readers.
    if (sqlite3_exec(reader.handle, "begin; select 1 from main.sqlite_master limit 1", nullptr, nullptr, nullptr)
        != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(reader.handle));
    reader.whole = std::make_unique<NativeStatement>(reader.handle, whole);
    reader.edge = std::make_unique<NativeStatement>(reader.handle, edge);
    if (!reader.whole->ok())
        return reader.whole->error();
    return reader.edge->ok() ? QString() : reader.edge->error();
}

RecordDigest::~RecordDigest()
{
    stop();
    // The readers' texts and pages, in their threads' heaps.
    const FreeingToSystem freeing;
    readers.clear();
    texts.clear();
}

QString RecordDigest::error() const
{
    std::lock_guard<std::mutex> guard(lock);
    return failure;
}

bool RecordDigest::digest(const QList<Piece> &pieces, Sha256 &digest, FileTally &tally,
                          const std::function<bool(qsizetype, qsizetype)> &going)
{
    if (!opening.isEmpty())
        return false;
    texts.assign(InFlight, std::string());
    ready.assign(InFlight, false);
    nextToRead = hashed = 0;
    fromPages = 0;
    stopping = false;
    for (const std::unique_ptr<Reader> &reader : readers)
        reader->thread = std::thread([this, &reader, &pieces] { read(*reader, pieces); });
    bool whole = true;
    for (qsizetype i = 0; i < pieces.size() && whole; ++i) {
        std::string text;
        {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard, [&] { return ready[size_t(i % InFlight)] || stopping; });
            if (!ready[size_t(i % InFlight)])
                break;
            text = std::move(texts[size_t(i % InFlight)]);
            ready[size_t(i % InFlight)] = false;
            hashed = i + 1;
        }
        changed.notify_all();
        digest.addData(QByteArrayView(text.data(), qsizetype(text.size())));
        whole = going(i + 1, pieces.size());
    }
    stop();
    for (const std::unique_ptr<Reader> &reader : readers)
        tally.add(reader->tally);
    std::lock_guard<std::mutex> guard(lock);
    return whole && hashed == pieces.size() && failure.isEmpty();
}

// Takes the next piece whose slot is free, until every piece is taken.
void RecordDigest::read(Reader &reader, const QList<Piece> &pieces)
{
    for (;;) {
        qsizetype i;
        {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard, [&] { return stopping || nextToRead >= pieces.size() || nextToRead < hashed + InFlight; });
            if (stopping || nextToRead >= pieces.size())
                return;
            i = nextToRead++;
        }
        QString reason;
        const bool read = readPiece(reader, pieces.at(i), &reason);
        std::string text = reader.text->take();
        {
            std::lock_guard<std::mutex> guard(lock);
            if (!read && !stopping) {
                failure = reason;
                stopping = true;
            } else if (read) {
                texts[size_t(i % InFlight)] = std::move(text);
                ready[size_t(i % InFlight)] = true;
            }
        }
        changed.notify_all();
        if (!read)
            return;
    }
}

// A piece wholly in the window from the file's pages where they can be read so, else through SQLite.
bool RecordDigest::readPiece(Reader &reader, const Piece &piece, QString *reason)
{
    if (!piece.edge && reader.pages->refusal().isEmpty()) {
        ++fromPages;
        const bool read = reader.pages->read(piece.fromRow, piece.toRow, [&reader](qint64 rowid, const TablePages::Field *fields, int count) {
            reader.tally.count(rowid);
            reader.text->append(fields, count);
        });
        if (!read)
            *reason = QCoreApplication::translate("RecordDigest", "The records could not be read from the database file: %1")
                          .arg(reader.pages->error());
        return read;
    }
    NativeStatement &statement = piece.edge ? *reader.edge : *reader.whole;
    statement.bind(1, piece.fromRow);
    statement.bind(2, piece.toRow);
    const bool read = statement.step() == SQLITE_DONE;
    if (!read)
        *reason = statement.error();
    statement.reset();
    return read;
}

void RecordDigest::stop()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    changed.notify_all();
    for (const std::unique_ptr<Reader> &reader : readers) {
        if (reader->thread.joinable()) {
            sqlite3_interrupt(reader->handle);
            reader->thread.join();
        }
    }
}
