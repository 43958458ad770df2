#include "recorddatetime.h"

#include <sqlite3.h>
#include <atomic>

namespace {

// Whole-window statements call datetime(indate) once per record. A stamp the
// instrument wrote as "YYYY-MM-DD HH:MM:SS" with a real date and time (and the
// line end the import keeps) answers itself: answering that at once saves
// most of the statement's cost.
constexpr char Shape[] = "dddd-dd-dd dd:dd:dd";
constexpr int ShapeLength = int(sizeof Shape) - 1;

// Every other argument goes to SQLite's own datetime() on a private
// in-memory connection, so that its answer stays SQLite's.
struct SqliteDatetime {
    sqlite3 *db = nullptr;
    sqlite3_stmt *statement = nullptr;

    SqliteDatetime()
    {
        if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK)
            sqlite3_prepare_v2(db, "select datetime(?1)", -1, &statement, nullptr);
    }
    ~SqliteDatetime()
    {
        sqlite3_finalize(statement);
        sqlite3_close(db);
    }
};

std::atomic<long long> delegated{0};

void recordDatetime(sqlite3_context *context, int, sqlite3_value **argv)
{
    sqlite3_value *stamp = argv[0];
    if (sqlite3_value_type(stamp) == SQLITE_TEXT && isPlainStamp(reinterpret_cast<const char *>(sqlite3_value_text(stamp)), sqlite3_value_bytes(stamp))) {
        sqlite3_result_text(context, reinterpret_cast<const char *>(sqlite3_value_text(stamp)), ShapeLength,
                            SQLITE_TRANSIENT);
        return;
    }
    ++delegated;
    auto *own = static_cast<SqliteDatetime *>(sqlite3_user_data(context));
    sqlite3_bind_value(own->statement, 1, stamp);
    if (sqlite3_step(own->statement) == SQLITE_ROW)
        sqlite3_result_value(context, sqlite3_column_value(own->statement, 0));
    else
        sqlite3_result_error(context, sqlite3_errmsg(own->db), -1);
    sqlite3_reset(own->statement);
}

} // namespace

bool isPlainStamp(const char *text, qsizetype size)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    if (size < ShapeLength)
        return false;
    for (int i = 0; i < ShapeLength; ++i) {
        if (Shape[i] == 'd' ? (s[i] < '0' || s[i] > '9') : s[i] != Shape[i])
            return false;
    }
    for (qsizetype i = ShapeLength; i < size; ++i) {
        if (s[i] != ' ' && (s[i] < '\t' || s[i] > '\r'))
            return false;
    }
    const auto number = [s](int at, int digits) {
        int n = 0;
        for (int i = at; i < at + digits; ++i)
            n = n * 10 + (s[i] - '0');
        return n;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    if (year < 1000 || month < 1 || month > 12 || day < 1 || number(11, 2) > 23 || number(14, 2) > 59
        || number(17, 2) > 59)
        return false;
    static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= monthDays[month - 1] + (month == 2 && leap ? 1 : 0);
}


bool registerRecordDatetime(sqlite3 *handle)
{
    if (!handle)
        return false;
    auto *own = new SqliteDatetime;
    if (!own->statement) {
        delete own;
        return false;
    }
    return sqlite3_create_function_v2(handle, "datetime", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, own,
                                      recordDatetime, nullptr, nullptr,
                                      [](void *data) { delete static_cast<SqliteDatetime *>(data); })
        == SQLITE_OK;
}

long long recordDatetimeDelegated()
{
    return delegated.load();
}
