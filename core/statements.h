#ifndef STATEMENTS_H
#define STATEMENTS_H

#include "families.h"
#include "recordstore.h"

#include <QDateTime>
#include <QString>

struct TableSearch {
    int pageid = -1;
    int idx = 0;
    QDateTime st;
    QDateTime en;
    double pv1 = 0;
    double pv2 = 0;
    double th1 = 0;
    double th2 = 0;
    bool ishl = false;
};

// A bound written with every digit the user typed (12345.678 stays 12345.678).
QString boundText(double value);
// A range field left empty bounds nothing on its side; a value column with
// neither bound takes every record, markers and texts too.
double rangeBound(const QString &text, bool lower);
bool unbounded(double low, double high);
// The value condition of a search: its range, or its HH/LL markers.
QString valueCondition(const MeterFamily &family, const TableSearch &search);
QString columnList(const QList<FamilyColumn> &columns, int channel);
QString tableCountStatement(const MeterFamily &family, int meter, const TableSearch &search);
QString tablePageStatement(const MeterFamily &family, int meter, const TableSearch &search, int pageRcd);

// A number as the data-table page shows it.
QString cellNumber(double value);
// A result cell as the data-table page shows it (and the export writes it).
QString recordCellText(const FamilyCell &cell, const RecordRow &row, bool ishl);

// The rows a page from `offset` will hold when `matching` records match;
// reserving them spares a chart page of 100,000 rows its regrowths.
int expectedPageRows(qint32 matching, qint64 offset, int pageSize);

struct ChartRequest {
    bool qx = false;
    int pageid = -1;
    int idx = 0;
    QDateTime st;
    QDateTime en;
};

// A page statement that reads the rowids from :rowfrom up to (not with)
// :rowto and skips `skip` of the records it selects there.
QString pageStatementFrom(QString pageStatement, qint64 skip);

// The index on the stamps that the statements alone read a time window through.
QString timeIndexStatement(const QString &table);
QString dropTimeIndexStatement(const QString &table);
QString chartCountStatement(const MeterFamily &family, int meter);
QString chartPageStatement(const MeterFamily &family, int meter, const ChartRequest &request, int plotRcd);

#endif
