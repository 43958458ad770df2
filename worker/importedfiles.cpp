#include "importedfiles.h"

#include "contenthash.h"

#include <QDateTime>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace ImportedFiles {

namespace {

// Earlier versions kept the first eight columns only.
const QStringList KeptColumns{QStringLiteral("name"),        QStringLiteral("size"),       QStringLiteral("hash"),
                              QStringLiteral("first_rowid"), QStringLiteral("last_rowid"), QStringLiteral("records"),
                              QStringLiteral("lines_read"),  QStringLiteral("lines_skipped")};
const QStringList LaterColumns{QStringLiteral("sha256"), QStringLiteral("skipped"), QStringLiteral("added")};
const QString EntryColumns = (KeptColumns + LaterColumns).join(QStringLiteral(", "));

bool hasColumn(QSqlDatabase &db, const QString &column)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("select 1 from pragma_table_info('imported_files') where name = ?"));
    query.addBindValue(column);
    return query.exec() && query.next();
}

Entry entryOf(const QSqlQuery &query)
{
    return Entry{query.value(0).toString(),    query.value(1).toLongLong(), query.value(2).toByteArray(),
                 query.value(3).toLongLong(),  query.value(4).toLongLong(), query.value(5).toLongLong(),
                 query.value(6).toLongLong(),  query.value(7).toLongLong(), query.value(8).toByteArray(),
                 query.value(9).toString(),    query.value(10).toString()};
}

std::optional<Entry> findWhere(QSqlDatabase &db, const QString &condition, const QVariantList &values)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("select %1 from imported_files where %2 limit 1").arg(EntryColumns, condition));
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return entryOf(query);
}

} // namespace

QString ensureTable(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("create table if not exists imported_files (name text primary key, size integer, "
                                   "hash text, first_rowid integer, last_rowid integer, records integer, "
                                   "lines_read integer, lines_skipped integer, sha256 text, skipped text, added text)")))
        return query.lastError().text();
    // A table of an earlier version: what it did not keep of its files stays unknown (null).
    for (const QString &column : LaterColumns) {
        if (!hasColumn(db, column)
            && !query.exec(QStringLiteral("alter table imported_files add column %1 text").arg(column)))
            return query.lastError().text();
    }
    return QString();
}

QList<Entry> all(QSqlDatabase &db, QString *error)
{
    QList<Entry> entries;
    QSqlQuery query(db);
    QStringList columns = KeptColumns;
    for (const QString &column : LaterColumns)
        columns << (hasColumn(db, column) ? column : QStringLiteral("null"));
    if (!query.exec(QStringLiteral("select %1 from imported_files order by first_rowid").arg(columns.join(QStringLiteral(", "))))) {
        *error = query.lastError().text();
        return {};
    }
    while (query.next())
        entries << entryOf(query);
    return entries;
}

std::optional<Entry> find(QSqlDatabase &db, const QString &name)
{
    return findWhere(db, QStringLiteral("name = ? collate nocase"), {name});
}

std::optional<Entry> findContent(QSqlDatabase &db, qint64 size, const QByteArray &hash)
{
    return findWhere(db, QStringLiteral("size = ? and hash = ?"), {size, QString::fromLatin1(hash)});
}

bool note(QSqlDatabase &db, const FileReport &file, qint64 firstRowid, qint64 lastRowid)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("insert or replace into imported_files (%1) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                      .arg(EntryColumns));
    for (const QVariant &value : {QVariant(file.name()), QVariant(file.size), QVariant(QString::fromLatin1(file.hash)),
                                  QVariant(firstRowid), QVariant(lastRowid), QVariant(file.records),
                                  QVariant(file.lines.read), QVariant(file.lines.skippedLines()),
                                  QVariant(QString::fromLatin1(file.sha256)), QVariant(skippedText(file.lines)),
                                  QVariant(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))})
        query.addBindValue(value);
    return query.exec();
}

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QByteArray();
    ContentHash hash;
    QByteArray chunk(256 * 1024, Qt::Uninitialized);
    for (qint64 got; (got = file.read(chunk.data(), chunk.size())) > 0;)
        hash.addData(QByteArrayView(chunk.constData(), got));
    return file.error() == QFile::NoError ? hash.hex() : QByteArray();
}


} // namespace ImportedFiles
