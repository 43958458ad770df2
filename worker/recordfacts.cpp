#include "recordfacts.h"

#include "families.h"
#include "importedfiles.h"
#include "recorddatabase.h"
#include "recordtime.h"
#include "stampblocks.h"
#include "statements.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

RecordFacts readFrom(QSqlDatabase &db, const MeterFamily &family, int meter)
{
    const QString table = family.table(meter);
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
    // Where the sums or an index on the stamps tell where they lie, the
    // readable ends; else the first and last stored.
    const StampBlocks stamps = StampBlocks::loadBesideOverview(db, family, meter);
    const bool indexed = value(QStringLiteral("select 1 from sqlite_master where type = 'index' and name = '%1_time'")
                                   .arg(table)).isValid();
    const auto end = [&](bool last) {
        if (!stamps.whole() || indexed)
            return parseRecordTime(last ? stamps.lastReadable(db, table) : stamps.firstReadable(db, table));
        return parseRecordTime(value(QStringLiteral("select indate from main.%1 order by rowid %2 limit 1")
                                         .arg(table, last ? QLatin1String("desc") : QLatin1String("asc"))).toString());
    };
    facts.first = end(false);
    facts.last = end(true);
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
        facts = readFrom(db, meterFamily(familyNumber), meter);
    });
    if (!error.isEmpty())
        facts.error = error;
    return facts;
}
