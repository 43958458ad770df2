// Build-time tool: creates the empty record database template from its schema.
#include <sqlite3.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: makerecorddb schema.sql out.db\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    std::stringstream sql;
    sql << in.rdbuf();
    std::remove(argv[2]);
    sqlite3 *db = nullptr;
    if (sqlite3_open(argv[2], &db) != SQLITE_OK) {
        std::fprintf(stderr, "cannot create %s\n", argv[2]);
        return 1;
    }
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "schema failed: %s\n", error ? error : "?");
        sqlite3_free(error);
        sqlite3_close(db);
        std::remove(argv[2]);
        return 1;
    }
    sqlite3_close(db);
    return 0;
}
