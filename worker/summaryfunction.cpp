#include "summaryfunction.h"

#include "gatheredblock.h"

#include <cstring>
#include <sqlite3.h>
#include <memory>

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

// block_sums() and block_packed() gather a block in an object of their own,
// the same as an import gathers the lines it stores.
GatheredBlock *gathered(sqlite3_context *context, int columns)
{
    auto **kept = static_cast<GatheredBlock **>(sqlite3_aggregate_context(context, sizeof(GatheredBlock *)));
    if (kept && !*kept)
        *kept = new GatheredBlock(columns);
    return kept ? *kept : nullptr;
}

// The gathered block once SQLite is done with it (none: no record).
std::unique_ptr<GatheredBlock> taken(sqlite3_context *context)
{
    auto **kept = static_cast<GatheredBlock **>(sqlite3_aggregate_context(context, 0));
    std::unique_ptr<GatheredBlock> block(kept ? *kept : nullptr);
    if (kept)
        *kept = nullptr;
    return block;
}

void resultBlob(sqlite3_context *context, const QByteArray &bytes)
{
    sqlite3_result_blob64(context, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
}

const char *textOf(sqlite3_value *value)
{
    return reinterpret_cast<const char *>(sqlite3_value_text(value));
}

void stepBlock(sqlite3_context *context, int count, sqlite3_value **arguments)
{
    GatheredBlock *block = gathered(context, count - 2);
    if (!block)
        return sqlite3_result_error_nomem(context);
    block->addSumsStamp(textOf(arguments[0]), sqlite3_value_bytes(arguments[0]));
    const qint64 row = sqlite3_value_int64(arguments[1]);
    for (int c = 0; c < count - 2; ++c) {
        sqlite3_value *value = arguments[2 + c];
        if (sqlite3_value_type(value) == SQLITE_NULL) {
            block->addSumsValue(c, nullptr, 0, 0, row);
            continue;
        }
        // As cast(value as real) reads it: SQLite's own conversion.
        const double cast = sqlite3_value_double(value);
        block->addSumsValue(c, textOf(value), sqlite3_value_bytes(value), cast, row);
    }
}

void finishBlock(sqlite3_context *context)
{
    const std::unique_ptr<GatheredBlock> block = taken(context);
    if (!block || !block->hasSums())
        return sqlite3_result_null(context); // no record
    resultBlob(context, block->sums());
}

void stepPacked(sqlite3_context *context, int count, sqlite3_value **arguments)
{
    GatheredBlock *block = gathered(context, count - 2);
    if (!block)
        return sqlite3_result_error_nomem(context);
    const qint64 row = sqlite3_value_int64(arguments[0]);
    block->addPackedStamp(textOf(arguments[1]), sqlite3_value_bytes(arguments[1]),
                          sqlite3_value_type(arguments[1]) == SQLITE_TEXT);
    for (int c = 0; c < count - 2; ++c) {
        sqlite3_value *value = arguments[2 + c];
        const int type = sqlite3_value_type(value);
        block->addPackedValue(c, type == SQLITE_NULL ? nullptr : textOf(value), sqlite3_value_bytes(value),
                              type == SQLITE_TEXT, row);
    }
}

void finishPacked(sqlite3_context *context)
{
    const std::unique_ptr<GatheredBlock> block = taken(context);
    if (!block)
        return sqlite3_result_null(context);
    resultBlob(context, block->packed());
}

} // namespace

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

SummaryTotals summaryTotals(const QVariant &result)
{
    SummaryTotals totals{};
    const QByteArray bytes = result.toByteArray();
    if (bytes.size() == qsizetype(sizeof totals))
        memcpy(&totals, bytes.constData(), sizeof totals);
    return totals;
}
