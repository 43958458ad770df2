// The job that finds the excursions of one value column over a window, and
// the reading of a window's records in time order that it shares.
#include "sqlthread.h"

#include "excursions.h"
#include "families.h"
#include "recorddatabase.h"
#include "recordnumber.h"
#include "recordtime.h"
#include "settings.h"
#include "wallclock.h"

#include <QSqlQuery>

namespace {

ExcursionPoint pointOf(const QSqlQuery &query)
{
    ExcursionPoint point;
    const QByteArray stamp = query.value(0).toByteArray();
    naiveSeconds(stamp.constData(), stamp.size(), &point.time);
    const QByteArray text = query.value(1).toByteArray();
    point.rowid = query.value(2).toLongLong();
    if (text == "HH" || text == "LL")
        point.kind = text == "HH" ? ExcursionPoint::High : ExcursionPoint::Low;
    else if (query.value(1).isNull() || !readRecordNumber(text.constData(), text.size(), &point.value))
        point.kind = ExcursionPoint::Unreadable;
    return point;
}

} // namespace

bool SQLThread::readWindowPoints(int familyNumber, const QString &column, const QDateTime &st, const QDateTime &en,
                                 QList<ExcursionPoint> *points)
{
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const QString table = meterFamily(familyNumber).table(Meter);
    ensureTimeIndex(table);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // In the order of the wall clock written; records stamped alike in table order.
    if (!query.prepare(QStringLiteral("select datetime(indate), %1, rowid from main.%2 where datetime(indate) "
                                      "between :indate1 and :indate2 order by datetime(indate), rowid")
                           .arg(column, table))) {
        failQuery("window points", query);
        return false;
    }
    bindWindow(query, st, en);
    if (!query.exec()) {
        failQuery("window points", query);
        return false;
    }
    while (query.next()) {
        if (points->size() % 4096 == 0 && cancelRequested()) {
            finishCancelled();
            return false;
        }
        *points << pointOf(query);
    }
    return true;
}

void SQLThread::findWindowExcursions(int familyNumber, QString column, QDateTime st, QDateTime en, ChannelLimits limits)
{
    QList<ExcursionPoint> points;
    if (!readWindowPoints(familyNumber, column, st, en, &points))
        return;
    WindowExcursions found;
    found.gapSeconds = gapSecondsOf(points);
    found.excursions = findExcursions(points, limits, found.gapSeconds);
    found.totals = excursionTotals(found.excursions, naiveSeconds(en) - naiveSeconds(st) + 1);
    g_excursions = found;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
