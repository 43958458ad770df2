// The job that finds the excursions of one value column over a window, and
// the reading of a window's records in time order that it shares.
#include "sqlthread.h"

#include "excursionlist.h"
#include "families.h"
#include "recorddatabase.h"
#include "recordnumber.h"
#include "recordtime.h"
#include "settings.h"
#include "wallclock.h"

#include <QHash>
#include <QSqlQuery>

bool SQLThread::readAlarmSettings(const QString &table, ExcursionList &excursions)
{
    QHash<int, QSqlQuery> queries; // one prepared statement per alarm number
    qsizetype i = -1;
    for (const Excursion &e : std::as_const(excursions)) {
        ++i;
        if (e.kind != Excursion::Alarm)
            continue;
        if (!queries.contains(e.alarm)) {
            QSqlQuery prepared(db);
            if (!prepared.prepare(QStringLiteral("select al%1value from main.%2 where rowid = :rowid").arg(e.alarm).arg(table))) {
                failQuery("alarm settings", prepared);
                return false;
            }
            queries.insert(e.alarm, prepared);
        }
        QSqlQuery &query = queries[e.alarm];
        query.bindValue(QStringLiteral(":rowid"), e.firstRowid);
        if (!query.exec()) {
            failQuery("alarm settings", query);
            return false;
        }
        const QByteArray text = query.next() ? query.value(0).toByteArray() : QByteArray();
        double setValue = qQNaN();
        if (!readRecordNumber(text.constData(), text.size(), &setValue))
            setValue = qQNaN();
        excursions.setSetValue(i, setValue);
    }
    return true;
}

void SQLThread::findWindowExcursions(int familyNumber, QString column, QDateTime st, QDateTime en, ChannelLimits limits)
{
    WindowExcursions found;
    if (!walkWindow(familyNumber, column, st, en, limits, &found.excursions, &found.gapSeconds, nullptr)
        || !readAlarmSettings(meterFamily(familyNumber).table(Meter), found.excursions))
        return;
    found.totals = excursionTotals(found.excursions, naiveSeconds(en) - naiveSeconds(st) + 1);
    g_excursions = std::move(found);
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
