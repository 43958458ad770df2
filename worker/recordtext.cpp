#include "recordtext.h"

#include <charconv>
#include <cstring>
#include <sqlite3.h>

RecordText::RecordText(sqlite3 *handle)
{
    sqlite3_prepare_v2(handle, "select cast(?1 as text)", -1, &realText, nullptr);
}

RecordText::~RecordText()
{
    sqlite3_finalize(realText);
}

// A field and its unit separator.
inline void RecordText::put(const char *bytes, qsizetype size)
{
    if (used + size + 1 > qsizetype(text.size()))
        text.resize(std::max(2 * text.size() + 4096, size_t(used + size + 1)));
    char *at = text.data() + used;
    // Most fields are a few bytes: a loop costs less than a call.
    if (size <= 16) {
        for (qsizetype i = 0; i < size; ++i)
            at[i] = bytes[i];
    } else {
        std::memcpy(at, bytes, size_t(size));
    }
    at[size] = '\x1f';
    used += size + 1;
}

void RecordText::append(sqlite3_value **fields, int count)
{
    for (int c = 0; c < count; ++c) {
        switch (sqlite3_value_type(fields[c])) {
        case SQLITE_NULL:
            put(nullptr, 0);
            break;
        case SQLITE_FLOAT:
            putReal(sqlite3_value_double(fields[c]), fields[c]);
            break;
        default: {
            const char *bytes = reinterpret_cast<const char *>(sqlite3_value_text(fields[c]));
            put(bytes, sqlite3_value_bytes(fields[c]));
        }
        }
    }
    putEnd();
}

// The same text from the values as the file stores them.
void RecordText::append(const TablePages::Field *fields, int count)
{
    for (int c = 0; c < count; ++c) {
        const TablePages::Field &field = fields[c];
        switch (field.type) {
        case SQLITE_NULL:
            put(nullptr, 0);
            break;
        case SQLITE_INTEGER: {
            char digits[24];
            const auto made = std::to_chars(digits, digits + sizeof digits, field.integer);
            put(digits, made.ptr - digits);
            break;
        }
        case SQLITE_FLOAT:
            putReal(field.real, nullptr);
            break;
        default:
            put(field.bytes, field.size);
        }
    }
    putEnd();
}

void RecordText::putEnd()
{
    if (used == qsizetype(text.size()))
        text.resize(2 * text.size() + 4096);
    text[size_t(used++)] = '\x1e';
}

std::string RecordText::take()
{
    text.resize(size_t(used));
    longest = std::max(longest, used);
    used = 0;
    std::string taken = std::exchange(text, std::string());
    // The next piece is about as long: its room at once rather than by
    // doubling, which copies the text on the way and ends with up to twice
    // its length written.
    text.resize(size_t(longest + longest / 8 + 4096));
    return taken;
}

void RecordText::putReal(double value, sqlite3_value *field)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    RealText &slot = reals[size_t((bits * 0x9e3779b97f4a7c15ull) >> (64 - RealSlotBits))];
    if (slot.size == 0 || slot.bits != bits) {
        if (!field) {
            sqlite3_bind_double(realText, 1, value);
            sqlite3_step(realText);
        }
        const char *made = reinterpret_cast<const char *>(field ? sqlite3_value_text(field) : sqlite3_column_text(realText, 0));
        const int size = field ? sqlite3_value_bytes(field) : sqlite3_column_bytes(realText, 0);
        const bool kept = size > 0 && size <= int(sizeof slot.text);
        if (kept) {
            slot.bits = bits;
            slot.size = quint8(size);
            std::memcpy(slot.text, made, size_t(size));
        } else {
            put(made, size);
        }
        if (!field)
            sqlite3_reset(realText);
        if (!kept)
            return;
    }
    put(slot.text, slot.size);
}
