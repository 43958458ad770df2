#include "recordfacts.h"

#include "families.h"
#include "importedfiles.h"
#include "recorddatabase.h"
#include "recordtime.h"
#include "statements.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

RecordFacts readFrom(QSqlDatabase &db, const QString &table)
{
    RecordFacts facts;
    QSqlQuery query(db);
    const auto value = [&](const QString &statement) {
        return query.exec(statement) && query.next() ? query.value(0) : QVariant();
    };
    if (!query.exec(QStringLiteral("select count(rowid) from main.%1").arg(table)) || !query.next()) {
        facts.error = query.lastError().text();
        return facts;
    }
    facts.records = query.value(0).toLongLong();
    // Through the time index where it is there; else the first and last stored.
    const bool indexed = value(QStringLiteral("select 1 from sqlite_master where type = 'index' and name = '%1_time'")
                                   .arg(table)).isValid();
    const auto end = [&](const char *readable, const char *stored) {
        const QVariant time = indexed ? value(QStringLiteral("select %1(datetime(indate)) from main.%2 "
                                                             "where datetime(indate) >= '0001-01-01'").arg(QLatin1String(readable), table))
                                      : value(QStringLiteral("select indate from main.%1 order by rowid %2 limit 1")
                                                  .arg(table, QLatin1String(stored)));
        return parseRecordTime(time.toString());
    };
    facts.first = end("min", "asc");
    facts.last = end("max", "desc");
    QString error;
    const QList<ImportedFiles::Entry> files = ImportedFiles::all(db, &error);
    facts.files = files.size();
    if (!files.isEmpty()) {
        facts.lastFile = files.last().name;
        facts.lastAdded = files.last().added;
    }
    return facts;
}

} // namespace

RecordFacts readRecordFacts(const QString &databasePath, int familyNumber, int meter)
{
    RecordFacts facts;
    const QString error = readOnlyDatabase(databasePath, [&](QSqlDatabase &db) {
        facts = readFrom(db, meterFamily(familyNumber).table(meter));
    });
    if (!error.isEmpty())
        facts.error = error;
    return facts;
}
