#include "summaryfunction.h"

#include "windowsummary.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <sqlite3.h>

namespace {

// A value as the table reads it: a number in the C locale, blanks around it
// allowed. from_chars spares the pass a conversion per value.
bool readNumber(const char *text, int size, double &number)
{
    const char *begin = text;
    const char *end = text + size;
    while (begin < end && std::isspace(static_cast<unsigned char>(*begin)))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(end[-1])))
        --end;
    if (begin < end && *begin == '+')
        ++begin;
    const auto [stop, error] = std::from_chars(begin, end, number);
    return begin < end && error == std::errc() && stop == end;
}

void addValue(SummaryTotals &totals, sqlite3_value *value, qint64 row)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    if (!text) {
        ++totals.unreadable;
        return;
    }
    const int size = sqlite3_value_bytes(value);
    if (size == 2 && text[1] == text[0] && (text[0] == 'H' || text[0] == 'L')) {
        ++(text[0] == 'H' ? totals.hh : totals.ll);
        return;
    }
    double number = 0;
    if (!readNumber(text, size, number) || !std::isfinite(number)) {
        ++totals.unreadable;
        return;
    }
    // Rows may arrive in time-index order: of equal extremes the lowest rowid counts.
    const bool first = totals.numbers == 0;
    if (first || number < totals.minimum || (number == totals.minimum && row < totals.minimumRow)) {
        totals.minimum = number;
        totals.minimumRow = row;
    }
    if (first || number > totals.maximum || (number == totals.maximum && row < totals.maximumRow)) {
        totals.maximum = number;
        totals.maximumRow = row;
    }
    // Neumaier's compensated sum: a year of values adds up without drift.
    const double sum = totals.sum + number;
    totals.sumError += std::fabs(totals.sum) >= std::fabs(number) ? (totals.sum - sum) + number
                                                                  : (number - sum) + totals.sum;
    totals.sum = sum;
    ++totals.numbers;
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

} // namespace

bool registerSummaryFunction(sqlite3 *handle)
{
    return sqlite3_create_function_v2(handle, "window_summary", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                      nullptr, step, finish, nullptr)
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
