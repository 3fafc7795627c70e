#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace pellandrix {

// One prepared statement, finalized on destruction. Internal to the
// database layer; the store's own code goes through CDaoDatabase and
// CDaoRecordset.
class SqliteStatement {
  public:
    // Prepares exactly one statement from `sql` on `db`. Throws CDaoException
    // for an engine error or when text other than blanks and ";" follows the
    // first statement (the layer runs one statement per call).
    SqliteStatement(sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Advances to the next row. Returns true when a row is available, false
    // when the statement is done. Throws CDaoException on an engine error.
    bool Step();
    // Back to before the first row.
    void Reset();

    int ColumnCount() const;
    std::string ColumnName(int index) const;
    // The engine's storage class of the column in the current row
    // (SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB, SQLITE_NULL).
    int ColumnType(int index) const;
    std::int64_t ColumnInt(int index) const;
    double ColumnDouble(int index) const;
    // Text (or blob) bytes of the column; empty for Null.
    std::string ColumnText(int index) const;

    // Parameters ("?") of the statement; they are numbered from 1.
    int ParameterCount() const;
    void BindInt(int index, std::int64_t value);
    void BindText(int index, std::string_view value);
    void BindBlob(int index, std::string_view bytes);
    // Sets every parameter back to Null.
    void ClearBindings();

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace pellandrix
