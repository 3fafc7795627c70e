#include "store/sqlite_statement.h"

#include <sqlite3.h>

#include "store/dao_exception.h"

namespace pellandrix {

namespace {

bool OnlyBlanksAndSemicolons(const char* text) {
    for (; *text != '\0'; ++text) {
        const char c = *text;
        if (c != ';' && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            return false;
        }
    }
    return true;
}

}  // namespace

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : db_(db) {
    if (db_ == nullptr) {
        ThrowLayerError(SQLITE_MISUSE, "the database is not open");
    }
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) {
        ThrowEngineError(db_, rc);
    }
    if (stmt_ == nullptr) {
        ThrowLayerError(SQLITE_MISUSE, "no statement in the SQL text");
    }
    // A second statement would run unseen by the caller's error handling;
    // the program never sends one, so treat it as a mistake.
    const std::string rest(tail, sql.data() + sql.size() - tail);
    if (!OnlyBlanksAndSemicolons(rest.c_str())) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        ThrowLayerError(SQLITE_MISUSE, "more than one statement in the SQL text");
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

bool SqliteStatement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    ThrowEngineError(db_, rc);
}

void SqliteStatement::Reset() {
    sqlite3_reset(stmt_);
}

int SqliteStatement::ColumnCount() const {
    return sqlite3_column_count(stmt_);
}

std::string SqliteStatement::ColumnName(int index) const {
    const char* name = sqlite3_column_name(stmt_, index);
    return name != nullptr ? name : "";
}

int SqliteStatement::ColumnType(int index) const {
    return sqlite3_column_type(stmt_, index);
}

std::int64_t SqliteStatement::ColumnInt(int index) const {
    return sqlite3_column_int64(stmt_, index);
}

double SqliteStatement::ColumnDouble(int index) const {
    return sqlite3_column_double(stmt_, index);
}

std::string SqliteStatement::ColumnText(int index) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, index));
    const int size = sqlite3_column_bytes(stmt_, index);
    return bytes != nullptr ? std::string(bytes, static_cast<std::size_t>(size)) : std::string();
}

int SqliteStatement::ParameterCount() const {
    return sqlite3_bind_parameter_count(stmt_);
}

void SqliteStatement::ClearBindings() {
    sqlite3_clear_bindings(stmt_);
}

void SqliteStatement::BindInt(int index, std::int64_t value) {
    const int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK) {
        ThrowEngineError(db_, rc);
    }
}

void SqliteStatement::BindText(int index, std::string_view value) {
    const int rc = sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                                     SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) {
        ThrowEngineError(db_, rc);
    }
}

void SqliteStatement::BindBlob(int index, std::string_view bytes) {
    const int rc = sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()),
                                     SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) {
        ThrowEngineError(db_, rc);
    }
}

}  // namespace pellandrix
