// The job that tells which imported files the records of a window came from,
// and digests those records as they are stored.
#include "sqlthread.h"

#include "families.h"
#include "nativestatement.h"
#include "recorddatabase.h"
#include "recordsources.h"
#include "recordtime.h"
#include "settings.h"
#include "sha256.h"
#include "summaryblocks.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cstring>
#include <memory>
#include <sqlite3.h>

RecordSources g_recordSources;

namespace {

// Counts the window's records per imported file, the records coming in rowid order.
class FileTally
{
public:
    explicit FileTally(const QList<ImportedFiles::Entry> &entries) : entries(entries), inWindow(entries.size()) {}

    void count(qint64 rowid)
    {
        if (at < 0 || rowid < entries.at(at).firstRowid || rowid > entries.at(at).lastRowid) {
            // The file whose rowids hold this record: the last to start at or before it.
            const auto after = std::upper_bound(entries.cbegin(), entries.cend(), rowid,
                                                [](qint64 id, const ImportedFiles::Entry &e) { return id < e.firstRowid; });
            at = after - entries.cbegin() - 1;
            if (at < 0 || rowid > entries.at(at).lastRowid) {
                at = -1;
                return;
            }
        }
        ++inWindow[at];
    }

    QList<RecordSources::File> files() const
    {
        QList<RecordSources::File> files;
        for (int i = 0; i < entries.size(); ++i) {
            if (inWindow.at(i) > 0)
                files << RecordSources::File{entries.at(i), inWindow.at(i)};
        }
        return files;
    }

private:
    const QList<ImportedFiles::Entry> &entries;
    QList<qint64> inWindow;
    qsizetype at = -1;
};

// Feeds a record to the digest as the statement below writes it: each field as
// cast(… as text) gives it (none: empty), a unit separator after each, a
// record separator after the last. A real number's text is SQLite's own,
// made once per value (a column of readings holds a few hundred of them) and
// kept for the next record with that value.
class RecordText
{
public:
    RecordText(Sha256 &digest, const std::function<void(qint64)> &tally) : digest(digest), tally(tally) {}
    ~RecordText() { flush(); }

    // record_digest(rowid, field, ...): SQLite calls it for each record in
    // turn, so that the fields come as values, with no step of a statement
    // and no call that locks the connection per field.
    static void add(sqlite3_context *context, int count, sqlite3_value **values)
    {
        auto *text = static_cast<RecordText *>(sqlite3_user_data(context));
        text->tally(sqlite3_value_int64(values[0]));
        text->addFields(values + 1, count - 1);
    }

private:
    void addFields(sqlite3_value **fields, int count)
    {
        for (int c = 0; c < count; ++c) {
            switch (sqlite3_value_type(fields[c])) {
            case SQLITE_NULL:
                break;
            case SQLITE_FLOAT:
                put(realText(fields[c]));
                break;
            default:
                put(QByteArrayView(reinterpret_cast<const char *>(sqlite3_value_text(fields[c])),
                                   sqlite3_value_bytes(fields[c])));
            }
            put('\x1f');
        }
        put('\x1e');
    }

    void put(QByteArrayView bytes)
    {
        if (used + bytes.size() > Capacity) {
            flush();
            if (bytes.size() > Capacity)
                return digest.addData(bytes);
        }
        std::memcpy(buffer + used, bytes.data(), size_t(bytes.size()));
        used += bytes.size();
    }

    void put(char separator)
    {
        if (used == Capacity)
            flush();
        buffer[used++] = separator;
    }

    void flush()
    {
        digest.addData(QByteArrayView(buffer, used));
        used = 0;
    }

    QByteArrayView realText(sqlite3_value *field)
    {
        const double value = sqlite3_value_double(field);
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        if (const auto text = texts.constFind(bits); text != texts.constEnd())
            return *text;
        const QByteArrayView made(reinterpret_cast<const char *>(sqlite3_value_text(field)), sqlite3_value_bytes(field));
        // A column of ever new values is not kept: its texts are made each time.
        return texts.size() < MaxTexts ? QByteArrayView(*texts.insert(bits, made.toByteArray())) : made;
    }

    Sha256 &digest;
    const std::function<void(qint64)> &tally;
    static constexpr qsizetype Capacity = 1 << 16, MaxTexts = 1 << 16;
    char buffer[Capacity];
    qsizetype used = 0;
    QHash<quint64, QByteArray> texts;
};

} // namespace

void SQLThread::readRecordSources(int familyNumber, QDateTime st, QDateTime en)
{
    startReadPaths();
    openConnection(recordDatabasePath());
    emit PostProgress(tr("Reading the sources..."), 25);
    QString error;
    const QList<ImportedFiles::Entry> entries = ImportedFiles::all(db, &error);
    if (!error.isEmpty())
        return finishJob(JobOutcome::Failed, error);
    const MeterFamily &family = meterFamily(familyNumber);
    const QString table = family.table(Meter);
    const QStringList columns = columnNames(db, table);
    if (columns.isEmpty())
        return finishJob(JobOutcome::Failed, tr("The columns of %1 could not be read.").arg(table));
    RecordSources sources;
    FileTally tally(entries);
    const auto tallied = [&](qint64 rowid) {
        tally.count(rowid);
        ++sources.records;
    };
    Sha256 digest;
    const bool read = pageAccess() == PageAccess::Chosen && handle
        ? digestByBlocks(family, columns, st, en, digest, tallied)
        : digestByStatement(table, columns, st, en, digest, tallied);
    if (!read)
        return;
    sources.files = tally.files();
    sources.sha256 = digest.hex();
    g_recordSources = sources;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}

// The records of the window by rowid, a block at a time: a block wholly in
// the window is read without a condition, the others with the window's.
bool SQLThread::digestByBlocks(const MeterFamily &family, const QStringList &columns, const QDateTime &st,
                               const QDateTime &en, Sha256 &digest, const std::function<void(qint64)> &tally)
{
    QVector<SearchedBlock> blocks;
    if (!searchBlocks(describeSearch(family, Meter, TableSearch{-1, 0, st, en}, true), blocks, true))
        return false;
    RecordText text(digest, tally);
    if (sqlite3_create_function_v2(handle, "record_digest", -1, SQLITE_UTF8, &text, &RecordText::add, nullptr, nullptr,
                                   nullptr) != SQLITE_OK) {
        finishJob(JobOutcome::Failed, QString::fromUtf8(sqlite3_errmsg(handle)));
        return false;
    }
    // The function leaves with `text`, after the statements that call it.
    const std::unique_ptr<sqlite3, void (*)(sqlite3 *)> registered(handle, [](sqlite3 *handle) {
        sqlite3_create_function_v2(handle, "record_digest", -1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
    });
    QStringList quoted;
    for (const QString &name : columns)
        quoted << QLatin1Char('"') + name + QLatin1Char('"');
    const QString select = QStringLiteral("select count(record_digest(rowid, %1)) from main.%2 not indexed "
                                          "where rowid >= ?1 and rowid < ?2")
                               .arg(quoted.join(QStringLiteral(", ")), family.table(Meter));
    NativeStatement whole(handle, select),
        edge(handle, select + QStringLiteral(" and datetime(indate) between ?3 and ?4"));
    edge.bind(3, recordTimeText(st));
    edge.bind(4, recordTimeText(en));
    qint64 statements = 0;
    for (int first = 0; first < blocks.size(); ++statements) {
        int last = first;
        while (last + 1 < blocks.size() && blocks.at(last + 1).read == blocks.at(first).read
               && blocks.at(last + 1).fromRow == blocks.at(last).toRow)
            ++last;
        NativeStatement &statement = blocks.at(first).read ? edge : whole;
        statement.bind(1, blocks.at(first).fromRow);
        statement.bind(2, blocks.at(last).toRow);
        // A cancel interrupts the statement.
        const int code = statement.step();
        const QString reason = statement.error();
        statement.reset();
        if (cancelRequested()) {
            finishCancelled();
            return false;
        }
        if (code != SQLITE_ROW) {
            finishJob(JobOutcome::Failed, reason);
            return false;
        }
        first = last + 1;
    }
    noteReadPath(QStringLiteral("sources from %1 blocks in %2 statements").arg(blocks.size()).arg(statements));
    return true;
}

// The statement every faster way is held to: each record as one text, made
// by SQLite (its bytes as stored, whatever their encoding), through the time index.
bool SQLThread::digestByStatement(const QString &table, const QStringList &columns, const QDateTime &st,
                                  const QDateTime &en, Sha256 &digest, const std::function<void(qint64)> &tally)
{
    ensureTimeIndex(table);
    QStringList fields;
    for (const QString &name : columns)
        fields << QStringLiteral("ifnull(cast(\"%1\" as text), '') || x'1f'").arg(name);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("select rowid, cast(%1 || x'1e' as blob) from main.%2 where datetime(indate) between :indate1 and "
                                 ":indate2 order by rowid").arg(fields.join(QStringLiteral(" || ")), table));
    bindWindow(query, st, en);
    if (!query.exec()) {
        finishJob(JobOutcome::Failed, query.lastError().text());
        return false;
    }
    for (qint64 read = 0; query.next(); ++read) {
        if (read % 65536 == 0 && cancelRequested()) {
            finishCancelled();
            return false;
        }
        tally(query.value(0).toLongLong());
        digest.addData(query.value(1).toByteArray());
    }
    if (query.lastError().isValid()) {
        finishJob(JobOutcome::Failed, query.lastError().text());
        return false;
    }
    noteReadPath(QStringLiteral("sources by the statement"));
    return true;
}
