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

#include <QHash>
#include <QSqlQuery>

namespace {

// An alarm state text is on when it reads as a number other than 0 ("01"), off otherwise ("00", empty).
bool alarmOn(const QByteArray &state)
{
    double value = 0;
    return readRecordNumber(state.constData(), state.size(), &value) && value != 0;
}

// The numbers of the instrument's alarms on value column `column`.
QList<int> alarmsOf(const MeterFamily &family, const QString &column)
{
    return family.valueAlarms.value(int(family.valueColumns.indexOf(column)));
}

ExcursionPoint pointOf(const QSqlQuery &query, const QList<int> &alarms)
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
    for (int i = 0; i < alarms.size(); ++i) {
        if (alarmOn(query.value(3 + i).toByteArray()))
            point.alarms |= quint8(1u << (alarms.at(i) - 1));
    }
    return point;
}

} // namespace

bool SQLThread::readWindowPoints(int familyNumber, const QString &column, const QDateTime &st, const QDateTime &en,
                                 QList<ExcursionPoint> *points)
{
    openConnection(recordDatabasePath());
    emit PostProgress(QStringLiteral("Querying..."), 25);
    const MeterFamily &family = meterFamily(familyNumber);
    const QString table = family.table(Meter);
    ensureTimeIndex(table);
    const QList<int> alarms = alarmsOf(family, column);
    QString alarmColumns;
    for (int alarm : alarms)
        alarmColumns += QStringLiteral(", alm%1").arg(alarm);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // In the order of the wall clock written; records stamped alike in table order.
    if (!query.prepare(QStringLiteral("select datetime(indate), %1, rowid%2 from main.%3 where datetime(indate) "
                                      "between :indate1 and :indate2 order by datetime(indate), rowid")
                           .arg(column, alarmColumns, table))) {
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
        *points << pointOf(query, alarms);
    }
    return true;
}

bool SQLThread::readAlarmSettings(const QString &table, QList<Excursion> &excursions)
{
    QHash<int, QSqlQuery> queries; // one prepared statement per alarm number
    for (Excursion &e : excursions) {
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
        if (!readRecordNumber(text.constData(), text.size(), &e.setValue))
            e.setValue = qQNaN();
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
    if (!readAlarmSettings(meterFamily(familyNumber).table(Meter), found.excursions))
        return;
    found.totals = excursionTotals(found.excursions, naiveSeconds(en) - naiveSeconds(st) + 1);
    g_excursions = found;
    finishJob(JobOutcome::Done, QString(), tr("Query executed."));
}
