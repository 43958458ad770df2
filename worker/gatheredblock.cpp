#include "gatheredblock.h"

#include "meankinetic.h"
#include "packedstamps.h"
#include "recorddatetime.h"
#include "wallclock.h"
#include "windowsummary.h"

#include <cstring>

namespace {

// datetime() gives a stamp of the plain layout as its first characters.
constexpr int PlainStampLength = 19;

// What a block_sums() result holds before its value columns.
struct SumsHead {
    qint64 records, stamped;
    qint32 columns, firstSize, lastSize;
    char first[40], last[40];
};

} // namespace

GatheredBlock::GatheredBlock(int columns) : columns(size_t(columns)), entries(size_t(columns)), refused(size_t(columns))
{
}

void GatheredBlock::Stamp::keep(const char *from, int bytes)
{
    size = qMin(bytes, StampRoom);
    memcpy(text, from, size_t(size));
}

// As SQLite compares texts: byte by byte, then the shorter first.
int GatheredBlock::Stamp::compare(const char *with, int bytes) const
{
    const int common = memcmp(with, text, size_t(qMin(bytes, size)));
    return common != 0 ? common : bytes - size;
}

void GatheredBlock::addSumsStamp(const char *datetime, int bytes)
{
    ++records;
    if (!datetime)
        return;
    if (stamped == 0 || first.compare(datetime, bytes) < 0)
        first.keep(datetime, bytes);
    if (stamped == 0 || last.compare(datetime, bytes) > 0)
        last.keep(datetime, bytes);
    ++stamped;
}

void GatheredBlock::addSumsValue(int column, const char *text, int bytes, double cast, qint64 rowid)
{
    BlockColumn &values = columns[size_t(column)];
    if (!text) {
        ++values.totals.unreadable;
        return;
    }
    addCast(values, cast);
    addStoredValue(values.totals, text, bytes, rowid);
}

void GatheredBlock::addCast(BlockColumn &values, double cast)
{
    if (values.values == 0 || cast < values.castMinimum)
        values.castMinimum = cast;
    if (values.values == 0 || cast > values.castMaximum)
        values.castMaximum = cast;
    ++values.values;
}

QByteArray GatheredBlock::sums() const
{
    SumsHead head;
    memset(&head, 0, sizeof head);
    head = {records, stamped, qint32(columns.size()), first.size, last.size, {}, {}};
    memcpy(head.first, first.text, size_t(first.size));
    memcpy(head.last, last.text, size_t(last.size));
    QByteArray result(reinterpret_cast<const char *>(&head), sizeof head);
    result.append(reinterpret_cast<const char *>(columns.data()), qsizetype(columns.size() * sizeof(BlockColumn)));
    return result;
}

void GatheredBlock::addPackedStamp(const char *indate, int bytes, bool isText)
{
    qint64 seconds = 0;
    // As the walk reads a stamp from the pages: its first 19 characters.
    if (stampsRefused || !isText || !isPlainStamp(indate, bytes)
        || !naiveSeconds(indate, qMin(bytes, PlainStampLength), &seconds)) {
        stampsRefused = true;
        return;
    }
    if (stamps.empty())
        stamps.reserve(DefaultBlockRowids);
    stamps.push_back(seconds);
}

void GatheredBlock::addPackedValue(int column, const char *text, int bytes, bool isText, qint64 rowid)
{
    const size_t c = size_t(column);
    PackedValues::Entry entry{rowid, {}, 0};
    if (refused[c] || !PackedValues::kindOf(text, bytes, isText, &entry.kind, &entry.number)) {
        refused[c] = true;
        return;
    }
    addEntry(c, entry);
}

void GatheredBlock::addEntry(size_t column, const PackedValues::Entry &entry)
{
    if (entries[column].empty())
        entries[column].reserve(DefaultBlockRowids);
    entries[column].push_back(entry);
}

void GatheredBlock::addPlainStamp(const char *stamp, qint64 seconds)
{
    addSumsStamp(stamp, PlainStampLength);
    if (stamps.empty())
        stamps.reserve(DefaultBlockRowids);
    stamps.push_back(seconds);
}

void GatheredBlock::addReadValue(int column, PackedValues::Kind kind, double number, double cast, qint64 rowid)
{
    const size_t c = size_t(column);
    BlockColumn &values = columns[c];
    addCast(values, cast);
    switch (kind) {
    case PackedValues::Kind::Number: addNumber(values.totals, number, kineticTerm(number), rowid); break;
    case PackedValues::Kind::High: ++values.totals.hh; break;
    case PackedValues::Kind::Low: ++values.totals.ll; break;
    case PackedValues::Kind::Unreadable: ++values.totals.unreadable; break;
    }
    if (!refused[c])
        addEntry(c, {rowid, kind, number});
}

// The stamps, then each column: a 32-bit size and its packed bytes (size 0: none).
QByteArray GatheredBlock::packed() const
{
    QByteArray result;
    const auto append = [&result](const QByteArray &packed) {
        const qint32 size = qint32(packed.size());
        result.append(reinterpret_cast<const char *>(&size), sizeof size).append(packed);
    };
    append(stampsRefused ? QByteArray() : PackedStamps::pack(stamps));
    for (size_t c = 0; c < entries.size(); ++c)
        append(refused[c] ? QByteArray() : PackedValues::pack(entries[c]));
    return result;
}

QList<QByteArray> packedColumns(const QByteArray &bytes)
{
    QList<QByteArray> columns;
    for (qsizetype at = 0; at + qsizetype(sizeof(qint32)) <= bytes.size();) {
        qint32 size = 0;
        memcpy(&size, bytes.constData() + at, sizeof size);
        at += qsizetype(sizeof size);
        if (size < 0 || size > bytes.size() - at)
            return {};
        columns << bytes.mid(at, size);
        at += size;
    }
    return columns;
}

bool readBlockSums(const QByteArray &bytes, SummaryBlock &block)
{
    SumsHead head{};
    if (bytes.size() < qsizetype(sizeof head))
        return false;
    memcpy(&head, bytes.constData(), sizeof head);
    if (head.columns < 0 || bytes.size() != qsizetype(sizeof head + size_t(head.columns) * sizeof(BlockColumn)))
        return false;
    block.records = head.records;
    block.stamped = head.stamped;
    block.firstStamp = QByteArray(head.first, head.firstSize);
    block.lastStamp = QByteArray(head.last, head.lastSize);
    block.columns.resize(head.columns);
    memcpy(static_cast<void *>(block.columns.data()), bytes.constData() + sizeof head,
           size_t(head.columns) * sizeof(BlockColumn));
    return true;
}
