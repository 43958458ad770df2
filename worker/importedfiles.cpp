#include "importedfiles.h"

#include "contenthash.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace ImportedFiles {

QString ensureTable(QSqlDatabase &db)
{
    QSqlQuery query(db);
    return query.exec(QStringLiteral("create table if not exists imported_files (name text primary key, size integer, "
                                     "hash text, first_rowid integer, last_rowid integer, records integer, "
                                     "lines_read integer, lines_skipped integer)"))
        ? QString()
        : query.lastError().text();
}

namespace {

std::optional<Entry> findWhere(QSqlDatabase &db, const QString &condition, const QVariantList &values)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("select name, size, hash, first_rowid, last_rowid, records, lines_read, lines_skipped "
                                 "from imported_files where %1 limit 1").arg(condition));
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return Entry{query.value(0).toString(), query.value(1).toLongLong(), query.value(2).toByteArray(),
                 query.value(3).toLongLong(), query.value(4).toLongLong(), query.value(5).toLongLong(),
                 query.value(6).toLongLong(), query.value(7).toLongLong()};
}

} // namespace

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
    query.prepare(QStringLiteral("insert or replace into imported_files values (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant &value : {QVariant(file.name()), QVariant(file.size), QVariant(QString::fromLatin1(file.hash)),
                                  QVariant(firstRowid), QVariant(lastRowid), QVariant(file.records),
                                  QVariant(file.lines.read), QVariant(file.lines.skippedLines())})
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
