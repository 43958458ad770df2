#ifndef RECORDTEXT_H
#define RECORDTEXT_H

#include "tablepages.h"

#include <QtGlobal>
#include <array>
#include <string>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

// The text of records as the report's digest reads them: each field as
// cast(… as text) gives it (none: empty), a unit separator after each, a
// record separator after the last.
class RecordText
{
public:
    // `handle` makes the texts of real numbers read from the file's pages.
    explicit RecordText(sqlite3 *handle);
    ~RecordText();
    RecordText(const RecordText &) = delete;
    RecordText &operator=(const RecordText &) = delete;

    void append(sqlite3_value **fields, int count);
    void append(const TablePages::Field *fields, int count);
    // The text appended since the last take.
    std::string take();

private:
    void put(const char *bytes, qsizetype size);
    // `field`: the value as SQLite holds it; none: the value alone.
    void putReal(double value, sqlite3_value *field);
    void putEnd();

    // A real number's text is SQLite's own, made once per value (a column of
    // readings holds a few hundred of them) and kept in the slot of its bits.
    struct RealText {
        quint64 bits = 0;
        quint8 size = 0; // 0: the slot is free
        char text[22];
    };
    static constexpr int RealSlotBits = 12;
    std::array<RealText, 1 << RealSlotBits> reals;
    sqlite3_stmt *realText = nullptr; // cast(?1 as text)
    std::string text;
    qsizetype used = 0;
    qsizetype longest = 0; // of the texts taken
};

#endif
