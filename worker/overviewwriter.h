#ifndef OVERVIEWWRITER_H
#define OVERVIEWWRITER_H

#include "nativestatement.h"
#include "overviewspans.h"

#include <QString>
#include <QStringList>

#include <limits>
#include <set>

struct sqlite3;

// Writes the overview's cells of one table, merging each with a row already
// kept for its span; closed minutes as they come, noting which it merged.
class OverviewWriter
{
public:
    OverviewWriter(sqlite3 *handle, const QString &table);
    bool ok() const { return insert.ok() && kept.ok(); }
    QString error() const { return insert.error(); }

    bool write(const QString &column, int level, qint64 span, OverviewCell cell, bool mayBeKept);
    // The closed minutes of every column; a minute met before is merged with its row.
    bool writeMinutes(const QStringList &columns, const OverviewSpans::Closed &minutes);

    qint64 written = 0; // rows, since the caller last set it
    // The minutes merged with a kept row: the steps where their records meet
    // are not known, so they are summed up again from their records.
    std::set<qint64> merged;
    qint64 lowestMinute = std::numeric_limits<qint64>::max(), highestMinute = std::numeric_limits<qint64>::min();

private:
    void bindKey(NativeStatement &statement, const QString &column, int level, qint64 span);

    QString table;
    NativeStatement insert;
    NativeStatement kept;
};

#endif
