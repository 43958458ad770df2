#include "recordstore.h"

#include <utility>

QVector<RecordRow> g_records;
qint32 g_recordCount = 0;
RecordSpan g_recordSpan;

QVector<RecordRow> takeRecords()
{
    return std::exchange(g_records, {});
}

QString &RecordRow::alarm(int number)
{
    QString *alarms[] = {&alarm1, &alarm2, &alarm3, &alarm4, &alarm5, &alarm6, &alarm7, &alarm8};
    return *alarms[qBound(1, number, 8) - 1];
}

const QString &RecordRow::alarm(int number) const
{
    return const_cast<RecordRow *>(this)->alarm(number);
}
