#ifndef RECORDSTORE_H
#define RECORDSTORE_H

#include <QDateTime>
#include <QString>
#include <QVector>

// value1 and value2 are NaN where the record holds no number (a marker such
// as "HH"); text1 and text2 then hold what it holds. `time` is the record's
// stamp as written (a wall-clock reading, see recordWallClock()).
struct RecordRow {
    double value1 = 0;
    double value2 = 0;
    double value3 = 0;
    double value4 = 0;
    double value5 = 0;
    QString alarm1, alarm2, alarm3, alarm4, alarm5, alarm6, alarm7, alarm8;
    QString text1;
    QString text2;
    qint32 channel = 0;
    qint32 id = 0;
    QDateTime time;

    QString &alarm(int number);
    const QString &alarm(int number) const;
};

// The rows of the page queried last and the count of the last new search:
// written by a query job before its final report, read by its page after it.
extern QVector<RecordRow> g_records;
extern qint32 g_recordCount;

// The page takes its rows once it has them in its widgets, so that the next
// job's rows are not read while a copy nobody looks at is held (two pages
// of a 100,000-point chart are 60 MB).
QVector<RecordRow> takeRecords();

// The stamps of the first and last record (invalid when there is none).
struct RecordSpan {
    QDateTime first;
    QDateTime last;
};
extern RecordSpan g_recordSpan;

#endif
