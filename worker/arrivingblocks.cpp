#include "arrivingblocks.h"

#include "recorddatetime.h"

namespace {

// datetime() gives a stamp of the plain layout as its first characters.
constexpr int PlainStampLength = 19;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

ArrivingBlocks::ArrivingBlocks(const QStringList &columns, const QList<int> &valueFields, int stampField,
                               qint64 blockRowids)
    : valueColumns(columns), valueFields(valueFields), stampField(stampField), blockRowids(qMax<qint64>(1, blockRowids))
{
}

ArrivingBlocks::~ArrivingBlocks() = default;

void ArrivingBlocks::expect(qint64 rowid)
{
    next = rowid;
}

void ArrivingBlocks::add(const RecordBatch &batch, int fieldCount)
{
    if (given_up)
        return;
    const FieldSpan *record = batch.fields.data();
    for (int r = 0; r < batch.records; ++r, record += fieldCount)
        addRecord(record, next++);
}

void ArrivingBlocks::finish()
{
    if (block && !given_up)
        endBlock();
}

std::vector<ArrivingBlocks::Block> ArrivingBlocks::takeEnded()
{
    std::vector<Block> taken;
    taken.swap(ended);
    return taken;
}

// SQLite reads a sign, then at most 15 digits with at most five after a point,
// as their integer over a power of ten, correctly rounded (more decimals it
// may round otherwise); an empty text and one that starts with a letter
// ("HH", "LL", "OPEN") as 0.
bool ArrivingBlocks::knownCast(const char *text, qsizetype size, double *cast)
{
    static constexpr double Powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5};
    if (size == 0 || isLetter(text[0])) {
        *cast = 0;
        return true;
    }
    const char *p = text, *end = text + size;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+'))
        ++p;
    qint64 digits = 0;
    int count = 0, decimals = -1;
    for (; p < end; ++p) {
        if (*p == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (!isDigit(*p) || ++count > 15)
            return false;
        digits = digits * 10 + (*p - '0');
        if (decimals >= 0 && ++decimals > 5)
            return false;
    }
    if (count == 0)
        return false;
    const double number = double(digits) / Powers[qMax(0, decimals)];
    *cast = negative ? -number : number;
    return true;
}

void ArrivingBlocks::addRecord(const FieldSpan *fields, qint64 rowid)
{
    const qint64 number = rowid / blockRowids;
    if (number != current) {
        if (block)
            endBlock();
        current = number;
        block = std::make_unique<GatheredBlock>(int(valueFields.size()));
        readable = true;
    }
    if (!readable)
        return;
    const FieldSpan &stamp = fields[stampField];
    if (!stamp.data || !isPlainStamp(stamp.data, stamp.size)) {
        readable = false;
        return;
    }
    block->addSumsStamp(stamp.data, PlainStampLength);
    block->addPackedStamp(stamp.data, int(stamp.size), true);
    for (int c = 0; c < valueFields.size(); ++c) {
        const FieldSpan &value = fields[valueFields.at(c)];
        double cast = 0;
        if (!value.data || !knownCast(value.data, value.size, &cast)) {
            readable = false;
            return;
        }
        block->addSumsValue(c, value.data, int(value.size), cast, rowid);
        block->addPackedValue(c, value.data, int(value.size), true, rowid);
    }
}

void ArrivingBlocks::endBlock()
{
    ++endedCount;
    if (readable)
        ended.push_back({current, block->sums(), block->packed()});
    else
        left << current;
    block.reset();
}
