#include "recordnumber.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits with at most one point, at least one digit; then an optional
// exponent, which from_chars reads and refuses whole unless it has a digit.
// No "inf", "nan" or hexadecimal.
bool isDecimal(const char *begin, const char *end)
{
    const char *p = begin;
    bool digits = false;
    while (p < end && isDigit(*p))
        ++p, digits = true;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && isDigit(*p))
            ++p, digits = true;
    }
    if (!digits)
        return false;
    return p == end || *p == 'e' || *p == 'E';
}

// Digits with at most one point and no exponent, at most 15 of them: the
// integer of the digits and the power of ten below it are both exact
// doubles, so their quotient is the nearest double to the text, as
// from_chars gives it, at a fraction of its cost.
bool readShortDecimal(const char *begin, const char *end, double *number)
{
    static constexpr double Powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (end - begin > 16)
        return false;
    qint64 digits = 0;
    int count = 0, decimals = -1;
    for (const char *p = begin; p < end; ++p) {
        if (*p == '.') {
            decimals = 0;
            continue;
        }
        if (!isDigit(*p))
            return false;
        digits = digits * 10 + (*p - '0');
        ++count;
        if (decimals >= 0)
            ++decimals;
    }
    if (count > 15)
        return false;
    *number = double(digits) / Powers[qMax(0, decimals)];
    return true;
}

} // namespace

bool readRecordNumber(const char *text, qsizetype size, double *number)
{
    if (!text)
        return false;
    const char *begin = text;
    const char *end = text + size;
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
    const bool negative = begin < end && *begin == '-';
    if (begin < end && (*begin == '+' || *begin == '-'))
        ++begin;
    if (!isDecimal(begin, end))
        return false;
    if (!readShortDecimal(begin, end, number)) {
        // from_chars spares a conversion per value; the sign is read above.
        const auto [stop, error] = std::from_chars(begin, end, *number);
        if (error == std::errc::result_out_of_range) // past a double's range: as strtod reads it
            *number = std::strtod(std::string(begin, end).c_str(), nullptr);
        else if (stop != end || error != std::errc())
            return false;
    }
    if (negative)
        *number = -*number;
    return std::isfinite(*number);
}

bool readRecordNumber(QStringView text, double *number)
{
    // Record values are short: most fit the stack.
    char stack[64];
    std::string heap;
    char *bytes = stack;
    if (text.size() > qsizetype(sizeof stack)) {
        heap.resize(size_t(text.size()));
        bytes = heap.data();
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c > 127)
            return false;
        bytes[i] = char(c);
    }
    return readRecordNumber(bytes, text.size(), number);
}

QString numberCondition(const QString &column)
{
    return QStringLiteral("cast(%1 as numeric)=%1").arg(column);
}

bool alarmStateOn(const char *text, qsizetype size)
{
    double value = 0;
    return text && readRecordNumber(text, size, &value) && value != 0;
}
