#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "store/statement_cache.h"

namespace pellandrix {

class CDaoDatabase;

// A column value of the current row: Null (monostate), a 32-bit integer
// for Long columns, a double for Double columns, or the bytes of a Text
// column.
using COleVariant = std::variant<std::monostate, std::int32_t, double, std::string>;

// Open type of a dynaset, the only kind the store uses.
inline constexpr int kDbOpenDynaset = 2;

// The rows of one select statement, visited once in order. Closed on
// Close() or destruction. Engine errors leave as CDaoException.
class CDaoRecordset {
  public:
    // Works on `db`, which must outlive the recordset.
    explicit CDaoRecordset(CDaoDatabase& db);
    ~CDaoRecordset();
    CDaoRecordset(const CDaoRecordset&) = delete;
    CDaoRecordset& operator=(const CDaoRecordset&) = delete;

    // Runs `sql`, a select, and stands on its first row (or at end of file
    // when there is none). Without an ORDER BY the rows come in ascending
    // Id. `openType` must be kDbOpenDynaset. Expects the recordset closed.
    void Open(int openType, const std::string& sql);
    bool IsOpen() const { return static_cast<bool>(statement_); }
    void Close();

    // The number of rows visited so far: above 0 exactly when the result
    // has at least one row.
    long GetRecordCount() const;

    void MoveFirst();
    void MoveNext();
    // True when standing behind the last row (at once for an empty result).
    bool IsEOF() const { return eof_; }

    // The current row's column `name` (compared without regard to case, as
    // field names are). Throws CDaoException for an unknown name or when
    // not standing on a row.
    COleVariant GetFieldValue(const std::string& name) const;

  private:
    void Step();
    int FieldIndex(const std::string& name) const;

    CDaoDatabase* db_;
    CachedStatement statement_;
    // The result's column names, lowered when a field is first asked for:
    // a recordset opened only to count its rows never needs them.
    mutable std::vector<std::string> lowerNames_;
    // Names as callers spelt them, with their columns: a list loads every
    // row field by field under the same names.
    mutable std::unordered_map<std::string, int> asked_;
    bool eof_ = true;
    long visited_ = 0;
};

}  // namespace pellandrix
