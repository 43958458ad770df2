#include "excursionlist.h"

#include <cstring>

WindowExcursions g_excursions;

namespace {

constexpr quint8 KindBits = 0x07, CutBit = 0x08;
constexpr int AlarmShift = 4;

bool isValued(Excursion::Kind kind)
{
    return kind == Excursion::AboveUpper || kind == Excursion::BelowLower;
}

void putVarint(QByteArray &bytes, quint64 value)
{
    while (value >= 0x80) {
        bytes += char(value | 0x80);
        value >>= 7;
    }
    bytes += char(value);
}

void putSigned(QByteArray &bytes, qint64 value)
{
    putVarint(bytes, (quint64(value) << 1) ^ quint64(value >> 63));
}

void putDouble(QByteArray &bytes, double value)
{
    char raw[sizeof value];
    std::memcpy(raw, &value, sizeof value);
    bytes.append(raw, sizeof value);
}

quint64 takeVarint(const char *data, qsizetype &at)
{
    quint64 value = 0;
    for (int shift = 0;; shift += 7) {
        const quint8 byte = quint8(data[at++]);
        value |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return value;
    }
}

qint64 takeSigned(const char *data, qsizetype &at)
{
    const quint64 zigzag = takeVarint(data, at);
    return qint64(zigzag >> 1) ^ -qint64(zigzag & 1);
}

double takeDouble(const char *data, qsizetype &at)
{
    double value;
    std::memcpy(&value, data + at, sizeof value);
    at += qsizetype(sizeof value);
    return value;
}

} // namespace

ExcursionList::ExcursionList(const QList<Excursion> &excursions)
{
    for (const Excursion &e : excursions)
        append(e);
}

// A kind, cut and alarm byte; the start and first rowid from the last
// one's, the end and the extreme's time from the start; the extreme of a
// value beyond a limit and the set value of an alarm as doubles. The
// extremes of the other kinds tell nothing and are not kept.
void ExcursionList::append(const Excursion &e)
{
    if (count % CheckpointEvery == 0) {
        if (pages.isEmpty() || pages.constLast().size() + RunBytes > PageBytes)
            pages.append(QByteArray());
        QByteArray &page = pages.last();
        if (page.size() + RunBytes > page.capacity())
            page.reserve(qMin(PageBytes, qMax(2 * page.capacity(), page.size() + RunBytes)));
        checkpoints << Checkpoint{(pages.size() - 1) * PageBytes + page.size(), lastStart, lastRowid};
    }
    QByteArray &bytes = pages.last();
    bytes += char(e.kind | (e.cut ? CutBit : 0) | (qBound(0, e.alarm, 15) << AlarmShift));
    putSigned(bytes, e.start - lastStart);
    putSigned(bytes, e.end - e.start);
    if (isValued(e.kind)) {
        putDouble(bytes, e.extreme);
        putSigned(bytes, e.extremeTime - e.start);
    }
    putSigned(bytes, e.records);
    putSigned(bytes, e.firstRowid - lastRowid);
    if (e.kind == Excursion::Alarm)
        putDouble(bytes, e.setValue);
    lastStart = e.start;
    lastRowid = e.firstRowid;
    ++count;
}

qsizetype ExcursionList::decode(qsizetype offset, const Excursion &previous, Excursion *to) const
{
    const qsizetype page = offset / PageBytes;
    const char *data = pages.at(page).constData();
    qsizetype at = offset % PageBytes;
    const quint8 head = quint8(data[at++]);
    Excursion e;
    e.kind = Excursion::Kind(head & KindBits);
    e.cut = head & CutBit;
    e.alarm = head >> AlarmShift;
    e.start = previous.start + takeSigned(data, at);
    e.end = e.start + takeSigned(data, at);
    if (isValued(e.kind)) {
        e.extreme = takeDouble(data, at);
        e.extremeTime = e.start + takeSigned(data, at);
    }
    e.records = takeSigned(data, at);
    e.firstRowid = previous.firstRowid + takeSigned(data, at);
    if (e.kind == Excursion::Alarm)
        e.setValue = takeDouble(data, at);
    *to = e;
    return page * PageBytes + at;
}

void ExcursionList::clear()
{
    *this = ExcursionList();
}

ExcursionList::const_iterator ExcursionList::iteratorAt(qsizetype i) const
{
    const_iterator it;
    it.list = this;
    it.index = i - i % CheckpointEvery;
    if (i >= count) {
        it.index = count;
        return it;
    }
    const Checkpoint &checkpoint = checkpoints.at(i / CheckpointEvery);
    it.current.start = checkpoint.start;
    it.current.firstRowid = checkpoint.firstRowid;
    it.offset = decode(checkpoint.offset, it.current, &it.current);
    while (it.index < i)
        ++it;
    return it;
}

ExcursionList::const_iterator &ExcursionList::const_iterator::operator++()
{
    if (++index < list->count) {
        // A run may begin on the next page.
        if (index % CheckpointEvery == 0)
            offset = list->checkpoints.at(index / CheckpointEvery).offset;
        offset = list->decode(offset, current, &current);
    }
    return *this;
}

ExcursionList::const_iterator ExcursionList::const_iterator::operator++(int)
{
    const const_iterator before = *this;
    ++*this;
    return before;
}

ExcursionList::const_iterator ExcursionList::begin() const
{
    return iteratorAt(0);
}

ExcursionList::const_iterator ExcursionList::end() const
{
    return iteratorAt(count);
}

Excursion ExcursionList::at(qsizetype i) const
{
    Q_ASSERT(i >= 0 && i < count);
    return *iteratorAt(i);
}

void ExcursionList::setSetValue(qsizetype i, double value)
{
    const const_iterator it = iteratorAt(i);
    if (it.current.kind != Excursion::Alarm)
        return;
    // An alarm's set value is its last eight bytes.
    const qsizetype at = it.offset - qsizetype(sizeof value);
    std::memcpy(pages[at / PageBytes].data() + at % PageBytes, &value, sizeof value);
}

QList<Excursion> ExcursionList::toList() const
{
    QList<Excursion> list;
    list.reserve(count);
    for (const Excursion &e : *this)
        list << e;
    return list;
}

ExcursionList ExcursionList::mergedWith(const QList<Excursion> &others) const
{
    ExcursionList merged;
    auto other = others.cbegin();
    for (const Excursion &e : *this) {
        for (; other != others.cend() && other->start < e.start; ++other)
            merged.append(*other);
        merged.append(e);
    }
    for (; other != others.cend(); ++other)
        merged.append(*other);
    return merged;
}
