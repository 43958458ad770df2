#ifndef CELLREADER_H
#define CELLREADER_H

#include "nativestatement.h"
#include "overviewcells.h"

#include <QSqlDatabase>

#include <functional>
#include <utility>
#include <vector>

// Reads the kept cells of one value column span range by span range, on one
// statement prepared once: a walk of a year asks for hundreds of ranges.
class CellReader
{
public:
    CellReader(QSqlDatabase &db, const QString &table, const QString &column);
    // The cells of spans [fromSpan, toSpan) at `level`, in order, with their
    // spans, their markers left out unless `withMarkers`; SQLite's reason
    // when that failed.
    QString read(int level, qint64 fromSpan, qint64 toSpan, std::vector<std::pair<qint64, OverviewCell>> *cells,
                 bool withMarkers = true);

    // The packed markers of the spans [fromSpan, toSpan) at `level` that hold
    // any, in order: visit(span, data, size).
    QString readMarks(int level, qint64 fromSpan, qint64 toSpan,
                      const std::function<void(qint64, const char *, int)> &visit);

private:
    NativeStatement spans, marks;
};

#endif
