#include "arrivingblocks.h"

#include "recorddatetime.h"
#include "wallclock.h"

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
    : valueColumns(columns), valueFields(valueFields), stampField(stampField), blockRowids(qMax<qint64>(1, blockRowids)),
      minutes(int(columns.size())), packedBlock(nullptr, QString(), columns, this->blockRowids)
{
}

ArrivingBlocks::~ArrivingBlocks() = default;

void ArrivingBlocks::expect(qint64 rowid)
{
    next = rowid;
}

void ArrivingBlocks::add(const RecordBatch &batch)
{
    if (givenUp)
        return;
    FieldSpan record[MaxRecordFields];
    for (int r = 0; r < batch.records; ++r) {
        batch.fieldsOf(r, record);
        addRecord(record, next++);
    }
}

void ArrivingBlocks::finish()
{
    if (block && !givenUp)
        endBlock();
    if (overviewGathered())
        closedMinutes.push_back(minutes.close());
}

std::vector<OverviewSpans::Closed> ArrivingBlocks::takeClosedMinutes()
{
    std::vector<OverviewSpans::Closed> taken;
    taken.swap(closedMinutes);
    return taken;
}

std::vector<ArrivingBlocks::Block> ArrivingBlocks::takeEnded()
{
    std::vector<Block> taken;
    taken.swap(ended);
    return taken;
}

// SQLite reads a sign, then at most 15 digits with at most five after a point,
// as their integer over a power of ten, correctly rounded (more decimals it
// may round otherwise), as readRecordNumber() does; an empty text and one
// that starts with a letter ("HH", "LL", "OPEN") as 0.
bool ArrivingBlocks::readValue(const char *text, qsizetype size, Value *value)
{
    static constexpr double Powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5};
    *value = {};
    if (size == 0 || isLetter(text[0])) {
        if (size == 2 && text[0] == text[1] && (text[0] == 'H' || text[0] == 'L'))
            value->kind = text[0] == 'H' ? PackedValues::Kind::High : PackedValues::Kind::Low;
        return true;
    }
    const char *p = text, *end = text + size;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
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
    value->kind = PackedValues::Kind::Number;
    value->number = value->cast = negative ? -number : number;
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
    qint64 seconds = 0;
    if (!stamp.data || !isPlainStamp(stamp.data, stamp.size) || !naiveSeconds(stamp.data, PlainStampLength, &seconds)) {
        readable = false;
        return;
    }
    block->addPlainStamp(stamp.data, seconds);
    for (int c = 0; c < valueFields.size(); ++c) {
        const FieldSpan &field = fields[valueFields.at(c)];
        Value value;
        if (!field.data || !readValue(field.data, field.size, &value)) {
            readable = false;
            return;
        }
        block->addReadValue(c, value.kind, value.number, value.cast, rowid);
    }
}

void ArrivingBlocks::endBlock()
{
    ++endedCount;
    if (readable) {
        ended.push_back({current, block->sums(), block->packed()});
        addMinutes(ended.back().packed);
    } else {
        left << current;
        overviewLeft = true;
    }
    block.reset();
}

// The block's records from its packed stamps and values, as the overview's build reads them.
void ArrivingBlocks::addMinutes(const QByteArray &packed)
{
    if (overviewLeft)
        return;
    if (!packedBlock.open(current, packedColumns(packed))) {
        overviewLeft = true;
        return;
    }
    minutes.addBlock(packedBlock);
    if (minutes.full())
        closedMinutes.push_back(minutes.close(true));
}
