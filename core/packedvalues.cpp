#include "packedvalues.h"

#include "recordnumber.h"

#include <QtAlgorithms>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Layout: the head, then (rowids not consecutive) a bit per rowid from the
// first to the last, then a value per record.
struct Head {
    quint8 version, width, decimals, consecutive;
    qint32 records;
    qint64 first, last, base;
};
constexpr quint8 Version = 1;
constexpr int MaxDecimals = 9;
constexpr double Exact = 9007199254740992.0; // 2^53
constexpr double Powers[MaxDecimals + 1] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// Width 8: what is no number is a NaN of its own, which no number read is.
constexpr quint64 KindBits[] = {0, 0x7ff8000000000001ULL, 0x7ff8000000000002ULL, 0x7ff8000000000003ULL};

quint64 bitsOf(double value)
{
    quint64 bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

double scaled(qint64 m, int decimals)
{
    return decimals == 0 ? double(m) : double(m) / Powers[decimals];
}

// m with m / 10^decimals exactly `number`, bit for bit.
bool scaledExactly(double number, int decimals, qint64 *m)
{
    const double product = number * Powers[decimals];
    if (!(std::fabs(product) < Exact))
        return false;
    *m = std::llround(product);
    return bitsOf(scaled(*m, decimals)) == bitsOf(number);
}

quint32 topCodeOf(int width)
{
    return width == 4 ? 0xffffffffu : (1u << (8 * width)) - 1;
}

void putValue(QByteArray &bytes, qsizetype at, int width, quint64 value)
{
    memcpy(bytes.data() + at, &value, size_t(width)); // little-endian hosts: the low bytes first
}

} // namespace

bool PackedValues::kindOf(const char *text, qsizetype size, bool isText, Kind *kind, double *number)
{
    *number = 0;
    if (!text) {
        *kind = Kind::Unreadable;
        return true;
    }
    if (!isText)
        return false;
    if (size == 2 && text[1] == text[0] && (text[0] == 'H' || text[0] == 'L'))
        *kind = text[0] == 'H' ? Kind::High : Kind::Low;
    else
        *kind = readRecordNumber(text, size, number) ? Kind::Number : Kind::Unreadable;
    return true;
}

QByteArray PackedValues::pack(const std::vector<Entry> &entries)
{
    if (entries.empty() || entries.size() > size_t(std::numeric_limits<qint32>::max()))
        return QByteArray();
    for (size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].rowid <= entries[i - 1].rowid)
            return QByteArray();
    }
    // The fewest decimals that give every number back exactly, found in one
    // pass: more decimals later scale the numbers before by a power of ten.
    // -0 has a code of its own.
    const auto isScaled = [](const Entry &entry) {
        return entry.kind == Kind::Number && bitsOf(entry.number) != bitsOf(-0.0);
    };
    int decimals = 0;
    bool scalable = true;
    std::vector<qint64> scaledNumbers(entries.size());
    for (size_t i = 0; scalable && i < entries.size(); ++i) {
        if (!isScaled(entries[i]))
            continue;
        int more = decimals;
        while (more <= MaxDecimals && !scaledExactly(entries[i].number, more, &scaledNumbers[i]))
            ++more;
        scalable = more <= MaxDecimals;
        for (size_t j = 0; scalable && more > decimals && j < i; ++j) {
            if (!isScaled(entries[j]))
                continue;
            const double rescaled = double(scaledNumbers[j]) * Powers[more - decimals];
            scaledNumbers[j] = qint64(rescaled);
            scalable = std::fabs(rescaled) < Exact && bitsOf(scaled(scaledNumbers[j], more)) == bitsOf(entries[j].number);
        }
        decimals = qMin(more, MaxDecimals);
    }
    qint64 least = 0, greatest = 0;
    bool any = false;
    for (size_t i = 0; scalable && i < entries.size(); ++i) {
        if (!isScaled(entries[i]))
            continue;
        least = any ? qMin(least, scaledNumbers[i]) : scaledNumbers[i];
        greatest = any ? qMax(greatest, scaledNumbers[i]) : scaledNumbers[i];
        any = true;
    }
    const quint64 spread = quint64(greatest) - quint64(least);
    int width = 8;
    for (int w : {1, 2, 4}) {
        if (scalable && spread < quint64(topCodeOf(w)) - 3) {
            width = w;
            break;
        }
    }

    const qint64 first = entries.front().rowid, last = entries.back().rowid;
    const bool consecutive = last - first + 1 == qint64(entries.size());
    const qsizetype bitmap = consecutive ? 0 : qsizetype((last - first) / 8 + 1);
    Head head{Version, quint8(width), quint8(width == 8 ? 0 : decimals), quint8(consecutive), qint32(entries.size()),
              first, last, width == 8 ? 0 : least};
    QByteArray bytes(qsizetype(sizeof head) + bitmap + qsizetype(entries.size()) * width, '\0');
    memcpy(bytes.data(), &head, sizeof head);
    const quint32 top = width == 8 ? 0 : topCodeOf(width);
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry &entry = entries[i];
        if (!consecutive) {
            const qint64 offset = entry.rowid - first;
            bytes[qsizetype(sizeof head) + qsizetype(offset >> 3)] |= char(1u << (offset & 7));
        }
        const qsizetype at = qsizetype(sizeof head) + bitmap + qsizetype(i) * width;
        if (width == 8) {
            putValue(bytes, at, 8, entry.kind == Kind::Number ? bitsOf(entry.number) : KindBits[int(entry.kind)]);
            continue;
        }
        quint64 code = 0;
        switch (entry.kind) {
        case Kind::Number:
            code = isScaled(entry) ? quint64(scaledNumbers[i] - least) : top - 3;
            break;
        case Kind::Unreadable:
            code = top - 2;
            break;
        case Kind::High:
            code = top - 1;
            break;
        case Kind::Low:
            code = top;
            break;
        }
        putValue(bytes, at, width, code);
    }
    return bytes;
}

bool PackedValues::open(QByteArrayView bytes)
{
    Head head;
    if (bytes.size() < qsizetype(sizeof head))
        return false;
    memcpy(&head, bytes.data(), sizeof head);
    if (head.version != Version || !(head.width == 1 || head.width == 2 || head.width == 4 || head.width == 8)
        || head.decimals > MaxDecimals || head.records <= 0 || head.last < head.first
        || quint64(head.last) - quint64(head.first) >= quint64(std::numeric_limits<qint32>::max()))
        return false;
    const qint64 span = head.last - head.first + 1;
    const qsizetype bitmap = head.consecutive ? 0 : qsizetype((span - 1) / 8 + 1);
    if ((head.consecutive && span != head.records)
        || bytes.size() != qsizetype(sizeof head) + bitmap + qsizetype(head.records) * head.width)
        return false;
    const auto *data = reinterpret_cast<const uchar *>(bytes.data()) + sizeof head;
    if (!head.consecutive) {
        // Every record has its rowid, the first and the last among them.
        qint64 set = 0;
        for (qsizetype b = 0; b < bitmap; ++b)
            set += qPopulationCount(data[b]);
        const qint64 lastOffset = span - 1;
        if (set != head.records || !(data[0] & 1) || !(data[lastOffset >> 3] & (1u << (lastOffset & 7)))
            || (bitmap * 8 > span && (data[bitmap - 1] >> (span & 7)) != 0))
            return false;
    }
    present = head.consecutive ? nullptr : data;
    values = data + bitmap;
    records = head.records;
    first = head.first;
    last = head.last;
    base = head.base;
    width = head.width;
    decimals = head.decimals;
    topCode = width == 8 ? 0 : topCodeOf(width);
    return true;
}

quint32 PackedValues::codeAt(qint64 i) const
{
    switch (width) {
    case 1:
        return values[i];
    case 2: {
        quint16 code;
        memcpy(&code, values + 2 * i, 2);
        return code;
    }
    default: {
        quint32 code;
        memcpy(&code, values + 4 * i, 4);
        return code;
    }
    }
}

double PackedValues::doubleAt(qint64 i) const
{
    double value;
    memcpy(&value, values + 8 * i, 8);
    return value;
}

double PackedValues::numberOf(qint64 code) const
{
    return scaled(base + code, decimals);
}

quint32 PackedValues::firstCode(double bound, bool strictly) const
{
    quint32 from = 0, to = numberCodes();
    while (from < to) {
        const quint32 middle = from + (to - from) / 2;
        const double number = numberOf(middle);
        if (strictly ? number > bound : number >= bound)
            to = middle;
        else
            from = middle + 1;
    }
    return from;
}

PackedValues::Kind PackedValues::kindOfCode(quint32 code) const
{
    if (code <= topCode - 3)
        return Kind::Number;
    return code == topCode - 2 ? Kind::Unreadable : code == topCode - 1 ? Kind::High : Kind::Low;
}

PackedValues::Kind PackedValues::kindAt(qint64 i, double *number) const
{
    *number = 0;
    if (width == 8) {
        const double value = doubleAt(i);
        const quint64 bits = bitsOf(value);
        for (int kind = 1; kind < 4; ++kind) {
            if (bits == KindBits[kind])
                return Kind(kind);
        }
        *number = value;
        return Kind::Number;
    }
    const quint32 code = codeAt(i);
    const Kind kind = kindOfCode(code);
    if (kind == Kind::Number)
        *number = negativeZero(code) ? -0.0 : numberOf(code);
    return kind;
}

bool PackedValues::sameRecords(const PackedValues &other) const
{
    if (records != other.records || first != other.first || last != other.last || !present != !other.present)
        return false;
    return !present || memcmp(present, other.present, size_t((last - first) / 8 + 1)) == 0;
}
