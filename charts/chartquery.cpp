#include "chartquery.h"

#include "recordtime.h"
#include "settings.h"
#include "sqlthread.h"
#include "tablequery.h"

#include <QDebug>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

QString chartCountStatement(const MeterFamily &family, int meter)
{
    return QStringLiteral("select count(rowid) from %1  where datetime(indate) between :indate1 and :indate2 order by rowid")
        .arg(family.table(meter));
}

QString chartPageStatement(const MeterFamily &family, int meter, const ChartRequest &request, int plotRcd)
{
    const bool firstPage = request.pageid < 0;
    const qint64 offset = firstPage ? 0 : qint64(request.pageid) * plotRcd;
    const QString select = firstPage && !family.chartFirstPageDoubleBlank ? QStringLiteral("select ")
                                                                          : QStringLiteral("select  ");
    return select
        + QStringLiteral("%1 from %2 where datetime(indate) between :indate1 and :indate2  order by rowid limit %3,%4")
              .arg(columnList(family.chartColumns, request.idx + 1), family.table(meter))
              .arg(offset)
              .arg(plotRcd);
}

void SQLThread::runChartQuery(const MeterFamily &family, const ChartRequest &request)
{
    openConnection();
    emit PostProgress(QStringLiteral("Querying..."), 25);
    if (request.pageid == -1)
        ensureTimeIndex(family.table(Meter));
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        const auto bindWindow = [&] {
            query.bindValue(QStringLiteral(":indate1"), recordTimeText(request.st));
            query.bindValue(QStringLiteral(":indate2"), recordTimeText(request.en));
        };
        if (request.pageid == -1) {
            query.prepare(chartCountStatement(family, Meter));
            bindWindow();
            if (query.exec() && query.next()) {
                g_recordCount = query.value(0).toInt();
                if (family.traceChartCount)
                    qDebug() << request.en << "记录数" << g_recordCount;
            } else {
                qDebug() << "查询命令出错1" << query.lastError();
            }
        }
        const int plotRcd = safePlotRcd();
        const qint64 offset = request.pageid < 0 ? 0 : qint64(request.pageid) * plotRcd;
        choosePageAccess(family.table(Meter), request.st, request.en, offset);
        const QString statement = chartPageStatement(family, Meter, request, plotRcd);
        query.prepare(statement);
        bindWindow();
        qDebug() << "SQL:" << statement;
        if (query.exec()) {
            g_records = QVector<RecordRow>();
            g_records.reserve(expectedPageRows(offset, plotRcd));
            while (query.next())
                g_records.append(readRecordRow(query, family.chartColumns, false));
            if (family.traceChartRowCount)
                qDebug() << "当前id" << g_records.size();
        } else {
            qDebug() << "查询命令出错2" << query.lastError();
        }
    }
    // The connection is released before the end report, so whatever job the
    // report lets the user start next finds the connection name free.
    closeConnection();
    emit PostProgress(tr("Query executed."), 100);
}
