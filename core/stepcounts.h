#ifndef STEPCOUNTS_H
#define STEPCOUNTS_H

#include <QByteArray>
#include <QtGlobal>

#include <utility>
#include <vector>

// Seven bits a byte, the lowest first: small numbers take a byte. False past
// the end or on a number longer than 64 bits.
void putPackedNumber(QByteArray &out, quint64 value);
bool takePackedNumber(const char *&at, const char *end, quint64 *value);

// How often each step in seconds occurs between consecutive records in time
// order: what the logging interval and the gaps of a span are read from
// without its records. A span's counts are those of its parts plus the steps
// where they meet.
class StepCounts
{
public:
    // The steps between `times`, which it sorts.
    static StepCounts ofTimes(std::vector<qint64> &times);
    static StepCounts unpacked(const char *data, int size);
    QByteArray packed() const;

    void add(qint64 step, qint64 count = 1);
    void add(const StepCounts &other);
    qint64 total() const;
    qint64 largest() const; // 0 without steps
    // The step at index total()/2 of them all in ascending order; 0 without steps.
    qint64 median() const;
    bool operator==(const StepCounts &other) const { return counts == other.counts; }

private:
    std::vector<std::pair<qint64, qint64>> counts; // (step, how often), ascending by step
};

#endif
