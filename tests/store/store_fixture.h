#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "store/dao_database.h"
#include "testkit/temp_dir.h"

namespace pellandrix::testkit {

// Runs `sql` on the file at `path` through a separate raw SQLite connection,
// so tests see (and prepare) the file as any other program would. Returns
// the rows, every value as text ("NULL" for Null).
inline std::vector<std::vector<std::string>> RawQuery(const std::string& path,
                                                      const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path);
    }
    std::vector<std::vector<std::string>> rows;
    char* error = nullptr;
    auto collect = [](void* out, int count, char** values, char**) {
        auto* table = static_cast<std::vector<std::vector<std::string>>*>(out);
        table->emplace_back();
        for (int i = 0; i < count; ++i) {
            table->back().push_back(values[i] != nullptr ? values[i] : "NULL");
        }
        return 0;
    };
    const int rc = sqlite3_exec(db, sql.c_str(), collect, &rows, &error);
    const std::string message = error != nullptr ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        throw std::runtime_error(message + " in: " + sql);
    }
    return rows;
}

// A database file in a fresh temporary folder, with the statement trace
// recorded.
class StoreFixture {
  public:
    StoreFixture() {
        db.SetStatementTrace([this](const std::string& sql) { statements.push_back(sql); });
    }

    std::string Path() const { return dir / "Pellandrix.mdb"; }

    TempDir dir;
    CDaoDatabase db;
    std::vector<std::string> statements;
};

}  // namespace pellandrix::testkit
