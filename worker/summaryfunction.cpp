#include "summaryfunction.h"

#include "meankinetic.h"
#include "packedstamps.h"
#include "packedvalues.h"
#include "recorddatetime.h"
#include "summaryblocks.h"
#include "wallclock.h"

#include <cmath>
#include <cstring>
#include <sqlite3.h>
#include <vector>

namespace {

void addValue(SummaryTotals &totals, sqlite3_value *value, qint64 row)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    addStoredValue(totals, text, sqlite3_value_bytes(value), row);
}

void step(sqlite3_context *context, int, sqlite3_value **arguments)
{
    // SQLite hands out the context zeroed on the first row.
    auto *totals = static_cast<SummaryTotals *>(sqlite3_aggregate_context(context, sizeof(SummaryTotals)));
    if (!totals)
        return sqlite3_result_error_nomem(context);
    addValue(*totals, arguments[0], sqlite3_value_int64(arguments[1]));
}

void finish(sqlite3_context *context)
{
    const SummaryTotals none{};
    const auto *totals = static_cast<SummaryTotals *>(sqlite3_aggregate_context(context, 0));
    sqlite3_result_blob(context, totals ? totals : &none, sizeof(SummaryTotals), SQLITE_TRANSIENT);
}

// What block_sums() keeps of a block before its value columns.
struct BlockHead {
    qint64 records, stamped;
    qint32 columns, firstSize, lastSize;
    char first[40], last[40]; // datetime() gives at most 20 characters
};

void keepStamp(char *kept, qint32 &size, const unsigned char *text, int bytes)
{
    size = qMin<qint32>(bytes, 40);
    memcpy(kept, text, size_t(size));
}

// As SQLite compares texts: byte by byte, then the shorter first.
int compareStamps(const unsigned char *text, int bytes, const char *kept, qint32 size)
{
    const int common = memcmp(text, kept, size_t(qMin(bytes, size)));
    return common != 0 ? common : bytes - size;
}

void stepBlock(sqlite3_context *context, int count, sqlite3_value **arguments)
{
    const int columns = count - 2;
    auto *head = static_cast<BlockHead *>(
        sqlite3_aggregate_context(context, int(sizeof(BlockHead) + size_t(columns) * sizeof(BlockColumn))));
    if (!head)
        return sqlite3_result_error_nomem(context);
    auto *values = reinterpret_cast<BlockColumn *>(head + 1);
    head->columns = columns;
    ++head->records;
    if (const unsigned char *stamp = sqlite3_value_text(arguments[0])) {
        const int bytes = sqlite3_value_bytes(arguments[0]);
        if (head->stamped == 0 || compareStamps(stamp, bytes, head->first, head->firstSize) < 0)
            keepStamp(head->first, head->firstSize, stamp, bytes);
        if (head->stamped == 0 || compareStamps(stamp, bytes, head->last, head->lastSize) > 0)
            keepStamp(head->last, head->lastSize, stamp, bytes);
        ++head->stamped;
    }
    const qint64 row = sqlite3_value_int64(arguments[1]);
    for (int c = 0; c < columns; ++c) {
        sqlite3_value *value = arguments[2 + c];
        if (sqlite3_value_type(value) == SQLITE_NULL) {
            ++values[c].totals.unreadable;
            continue;
        }
        // As cast(value as real) reads it: SQLite's own conversion.
        const double cast = sqlite3_value_double(value);
        if (values[c].values == 0 || cast < values[c].castMinimum)
            values[c].castMinimum = cast;
        if (values[c].values == 0 || cast > values[c].castMaximum)
            values[c].castMaximum = cast;
        ++values[c].values;
        addValue(values[c].totals, value, row);
    }
}

void finishBlock(sqlite3_context *context)
{
    const auto *head = static_cast<BlockHead *>(sqlite3_aggregate_context(context, 0));
    if (!head)
        return sqlite3_result_null(context); // no record
    sqlite3_result_blob(context, head, int(sizeof(BlockHead) + size_t(head->columns) * sizeof(BlockColumn)),
                        SQLITE_TRANSIENT);
}

// What block_packed() gathers of a block: its stamps, or none once a
// record was not stamped in the plain layout; each column's values, or none
// once the column held a value no column of text holds.
struct PackedBlock {
    std::vector<qint64> stamps;
    bool stampsRefused = false;
    std::vector<std::vector<PackedValues::Entry>> columns;
    std::vector<bool> refused;
};

void addStamp(PackedBlock &block, sqlite3_value *stamp)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(stamp));
    const int bytes = sqlite3_value_bytes(stamp);
    qint64 seconds = 0;
    // As the walk reads a stamp from the pages: its first 19 characters.
    if (block.stampsRefused || sqlite3_value_type(stamp) != SQLITE_TEXT || !isPlainStamp(text, bytes)
        || !naiveSeconds(text, qMin(bytes, 19), &seconds)) {
        block.stampsRefused = true;
        return;
    }
    block.stamps.push_back(seconds);
}

void stepPacked(sqlite3_context *context, int count, sqlite3_value **arguments)
{
    auto **kept = static_cast<PackedBlock **>(sqlite3_aggregate_context(context, sizeof(PackedBlock *)));
    if (!kept)
        return sqlite3_result_error_nomem(context);
    const size_t columns = size_t(count - 2);
    if (!*kept) {
        *kept = new PackedBlock{{}, false, std::vector<std::vector<PackedValues::Entry>>(columns), std::vector<bool>(columns)};
        (*kept)->stamps.reserve(DefaultBlockRowids);
        for (std::vector<PackedValues::Entry> &column : (*kept)->columns)
            column.reserve(DefaultBlockRowids);
    }
    PackedBlock &block = **kept;
    const qint64 row = sqlite3_value_int64(arguments[0]);
    addStamp(block, arguments[1]);
    for (size_t c = 0; c < columns; ++c) {
        sqlite3_value *value = arguments[2 + c];
        const int type = sqlite3_value_type(value);
        const auto *text = type == SQLITE_NULL ? nullptr : reinterpret_cast<const char *>(sqlite3_value_text(value));
        PackedValues::Entry entry{row, {}, 0};
        if (block.refused[c] || !PackedValues::kindOf(text, sqlite3_value_bytes(value), type == SQLITE_TEXT, &entry.kind,
                                                      &entry.number)) {
            block.refused[c] = true;
            continue;
        }
        block.columns[c].push_back(entry);
    }
}

// The stamps, then each column: a 32-bit size and its packed bytes (size 0: none).
void finishPacked(sqlite3_context *context)
{
    auto **kept = static_cast<PackedBlock **>(sqlite3_aggregate_context(context, 0));
    if (!kept || !*kept)
        return sqlite3_result_null(context);
    QByteArray result;
    const auto append = [&result](const QByteArray &packed) {
        const qint32 size = qint32(packed.size());
        result.append(reinterpret_cast<const char *>(&size), sizeof size).append(packed);
    };
    append((*kept)->stampsRefused ? QByteArray() : PackedStamps::pack((*kept)->stamps));
    for (size_t c = 0; c < (*kept)->columns.size(); ++c)
        append((*kept)->refused[c] ? QByteArray() : PackedValues::pack((*kept)->columns[c]));
    delete *kept;
    *kept = nullptr;
    sqlite3_result_blob64(context, result.constData(), sqlite3_uint64(result.size()), SQLITE_TRANSIENT);
}

} // namespace

QList<QByteArray> packedColumns(const QVariant &result)
{
    QList<QByteArray> columns;
    const QByteArray bytes = result.toByteArray();
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

bool registerSummaryFunction(sqlite3 *handle)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_function_v2(handle, "window_summary", 2, flags, nullptr, nullptr, step, finish, nullptr)
            == SQLITE_OK
        && sqlite3_create_function_v2(handle, "block_sums", -1, flags, nullptr, nullptr, stepBlock, finishBlock, nullptr)
            == SQLITE_OK
        && sqlite3_create_function_v2(handle, "block_packed", -1, flags, nullptr, nullptr, stepPacked, finishPacked,
                                      nullptr)
            == SQLITE_OK;
}

bool readBlockSums(const QVariant &result, SummaryBlock &block)
{
    const QByteArray bytes = result.toByteArray();
    BlockHead head{};
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

SummaryTotals summaryTotals(const QVariant &result)
{
    SummaryTotals totals{};
    const QByteArray bytes = result.toByteArray();
    if (bytes.size() == qsizetype(sizeof totals))
        memcpy(&totals, bytes.constData(), sizeof totals);
    return totals;
}
