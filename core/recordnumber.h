#ifndef RECORDNUMBER_H
#define RECORDNUMBER_H

#include <QString>
#include <QStringView>

// What "a number" is in a stored value: a decimal number as SQLite's numeric
// conversion takes a whole text (ASCII blanks around it, one sign, digits
// with at most one point, an exponent), and finite. The statements, the
// sums, the summaries, the overview and the charts all read values by this
// one rule, so that a marker ("HH", "LL") or a text such as "+-3" or "12abc"
// is never read as a number anywhere.
bool readRecordNumber(const char *text, qsizetype size, double *number);
bool readRecordNumber(QStringView text, double *number);
// An alarm state text is on when it reads as a number other than 0 ("01"), off otherwise ("00", empty).
bool alarmStateOn(const char *text, qsizetype size);

// The statements' test for the same rule on a column of text affinity: a
// text SQLite converts whole compares equal to its own conversion.
QString numberCondition(const QString &column);

#endif
