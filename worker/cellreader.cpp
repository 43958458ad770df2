#include "cellreader.h"

#include "overviewrows.h"
#include "rowinserter.h"

#include <sqlite3.h>

CellReader::CellReader(QSqlDatabase &db, const QString &table, const QString &column)
    : spans(sqliteHandle(db), QStringLiteral("select span, %1 from record_overview where tbl = ? and col = ? "
                                             "and level = ? and span >= ? and span < ? order by span")
                                  .arg(QLatin1String(CellColumns))),
      marks(sqliteHandle(db), QStringLiteral("select span, marks from record_overview where tbl = ? and col = ? "
                                             "and level = ? and span >= ? and span < ? and hh + ll > 0 order by span"))
{
    for (NativeStatement *statement : {&spans, &marks}) {
        statement->bind(1, table);
        statement->bind(2, column);
    }
}

QString CellReader::read(int level, qint64 fromSpan, qint64 toSpan, std::vector<std::pair<qint64, OverviewCell>> *cells,
                         bool withMarkers)
{
    if (!spans.ok())
        return spans.error();
    spans.bind(3, qint64(level));
    spans.bind(4, fromSpan);
    spans.bind(5, toSpan);
    cells->reserve(cells->size() + size_t(qMax<qint64>(0, toSpan - fromSpan)));
    int code = SQLITE_DONE;
    while ((code = spans.step()) == SQLITE_ROW) {
        const qint64 span = sqlite3_column_int64(*spans, 0);
        cells->emplace_back(span, readCell(*spans, 1, span * OverviewLevels[level], withMarkers));
    }
    spans.reset();
    return code == SQLITE_DONE ? QString() : spans.error();
}

QString CellReader::readMarks(int level, qint64 fromSpan, qint64 toSpan,
                              const std::function<void(qint64, const char *, int)> &visit)
{
    if (!marks.ok())
        return marks.error();
    marks.bind(3, qint64(level));
    marks.bind(4, fromSpan);
    marks.bind(5, toSpan);
    int code = SQLITE_DONE;
    while ((code = marks.step()) == SQLITE_ROW)
        visit(sqlite3_column_int64(*marks, 0), static_cast<const char *>(sqlite3_column_blob(*marks, 1)),
              sqlite3_column_bytes(*marks, 1));
    marks.reset();
    return code == SQLITE_DONE ? QString() : marks.error();
}
