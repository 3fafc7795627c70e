#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "store/sqlite_statement.h"

struct sqlite3;

namespace pellandrix {

// A literal value lifted out of a statement text.
using SqlLiteral = std::variant<std::int64_t, std::string>;

// A statement text with the literals of its conditions and values replaced
// by "?", and those literals in order.
struct SqlShape {
    std::string text;
    std::vector<SqlLiteral> literals;
};

// Splits `sql` into its shape and literals. Only integer and single-quoted
// text literals are lifted, and only where a bound value means exactly what
// the literal meant: after the first WHERE, SET or VALUES of an insert,
// update, delete or select, and before any ORDER BY or GROUP BY (where an
// integer names a column). Returns false, and the statement is to run as
// written, for anything else: other statements, comments, parameters
// already in the text, real or hex numbers, blob literals, integers beyond
// 64 bits, unterminated quotes.
bool ShapeOf(std::string_view sql, SqlShape& shape);

class StatementCache;

// A prepared statement lent out by the cache for one run. Going out of
// scope resets it and hands it back (or finalizes it when the cache is
// gone or did not want it).
class CachedStatement {
  public:
    CachedStatement() = default;
    CachedStatement(std::weak_ptr<StatementCache> cache, std::string key,
                    std::unique_ptr<SqliteStatement> statement);
    ~CachedStatement();
    CachedStatement(CachedStatement&&) noexcept = default;
    CachedStatement& operator=(CachedStatement&& other) noexcept;

    explicit operator bool() const { return statement_ != nullptr; }
    SqliteStatement* operator->() const { return statement_.get(); }
    SqliteStatement& operator*() const { return *statement_; }

  private:
    void GiveBack();

    std::weak_ptr<StatementCache> cache_;
    std::string key_;
    std::unique_ptr<SqliteStatement> statement_;
};

// Prepared statements of one database connection, keyed by their shape.
// The store sends a statement per record whose text differs from the
// previous one only in its values; compiling each anew costs far more than
// running it. Owned by the database through a shared_ptr so that statements
// still lent out when it closes finalize themselves instead.
class StatementCache : public std::enable_shared_from_this<StatementCache> {
  public:
    explicit StatementCache(sqlite3* db) : db_(db) {}
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // A statement for `sql`, bound to its literals and ready to step. A
    // text that cannot be shaped, or whose shape does not compile, is
    // prepared as written, so its errors read as they always did. Throws
    // CDaoException for an engine error.
    CachedStatement Prepare(std::string_view sql);

  private:
    friend class CachedStatement;
    // Enough for the store's handful of statement shapes; a program that
    // sends more just compiles more.
    static constexpr std::size_t kMaxShapes = 32;

    std::unique_ptr<SqliteStatement> TakeIdle(const std::string& key);
    void Return(std::string key, std::unique_ptr<SqliteStatement> statement);

    sqlite3* db_;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> idle_;
};

}  // namespace pellandrix
