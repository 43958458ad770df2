#include "stepcounts.h"

#include <algorithm>

void putPackedNumber(QByteArray &out, quint64 value)
{
    do {
        const char low = char(value & 0x7f);
        value >>= 7;
        out += value ? char(low | 0x80) : low;
    } while (value);
}

bool takePackedNumber(const char *&at, const char *end, quint64 *value)
{
    *value = 0;
    for (int shift = 0; at < end && shift < 64; shift += 7) {
        const auto byte = quint8(*at++);
        *value |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

StepCounts StepCounts::ofTimes(std::vector<qint64> &times)
{
    std::sort(times.begin(), times.end());
    StepCounts steps;
    for (size_t i = 1; i < times.size(); ++i)
        steps.add(times[i] - times[i - 1]);
    return steps;
}

StepCounts StepCounts::unpacked(const char *data, int size)
{
    StepCounts steps;
    const char *at = data, *end = data + size;
    quint64 step = 0, count = 0;
    while (at < end && takePackedNumber(at, end, &step) && takePackedNumber(at, end, &count))
        steps.add(qint64(step), qint64(count));
    return steps;
}

QByteArray StepCounts::packed() const
{
    QByteArray out;
    for (const auto &[step, count] : counts) {
        putPackedNumber(out, quint64(step));
        putPackedNumber(out, quint64(count));
    }
    return out;
}

void StepCounts::add(qint64 step, qint64 count)
{
    if (count <= 0)
        return;
    // Most spans hold one or two steps, mostly met in ascending order.
    auto at = counts.end();
    while (at != counts.begin() && std::prev(at)->first >= step)
        --at;
    if (at != counts.end() && at->first == step)
        at->second += count;
    else
        counts.insert(at, {step, count});
}

void StepCounts::add(const StepCounts &other)
{
    for (const auto &[step, count] : other.counts)
        add(step, count);
}

qint64 StepCounts::total() const
{
    qint64 sum = 0;
    for (const auto &entry : counts)
        sum += entry.second;
    return sum;
}

qint64 StepCounts::largest() const
{
    return counts.empty() ? 0 : counts.back().first;
}

qint64 StepCounts::median() const
{
    qint64 index = total() / 2;
    for (const auto &[step, count] : counts) {
        if (index < count)
            return step;
        index -= count;
    }
    return 0;
}
