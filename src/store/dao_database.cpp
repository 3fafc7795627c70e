#include "store/dao_database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "store/dao_exception.h"
#include "store/run_record.h"
#include "store/sql_dialect.h"
#include "store/sqlite_statement.h"
#include "support/fixed_text.h"

namespace pellandrix {

namespace {

constexpr int kDefaultBusyTimeoutMs = 5000;

// Creates the file only if nothing is there yet (O_EXCL), so that Create can
// never overwrite or truncate an existing file, even one that appears
// between a caller's existence test and this call.
void CreateEmptyFileExclusively(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) {
        const int error = errno;
        ThrowLayerError(SQLITE_CANTOPEN,
                        "cannot create database file " + path + ": " + std::strerror(error));
    }
    ::close(fd);
}

// Refuses a file without pages and a file shorter than the pages the
// engine counts in it. SQLite takes an empty file for an empty database,
// and the table upgrade after Open would then write tables into it; but
// every database Create makes has its header from the start, so an empty
// file is one cut short before its first page (a failed copy, a full disk).
// SQLite also reads the missing bytes of a file cut inside a page as zeros,
// which can change a stored text without breaking the structure that the
// integrity check looks at. Called while a read transaction is open, so that no
// writer changes the file's size meanwhile.
void CheckWholePages(sqlite3* db, const std::string& path) {
    SqliteStatement pageSize(db, "PRAGMA page_size");
    SqliteStatement pageCount(db, "PRAGMA page_count");
    struct stat st;
    if (!pageSize.Step() || !pageCount.Step() || ::stat(path.c_str(), &st) != 0) {
        return;  // nothing to compare; the engine reports real read errors
    }
    if (pageCount.ColumnInt(0) == 0) {
        ThrowLayerError(SQLITE_NOTADB, "database file is empty: " + path);
    }
    if (st.st_size < pageSize.ColumnInt(0) * pageCount.ColumnInt(0)) {
        ThrowLayerError(SQLITE_CORRUPT, "database file is cut short: " + path);
    }
}

// text_width(x): the characters of x as the records count them (TextWidth),
// for the checks of stored rows. SQLite's own length() takes a stray byte
// of a Windows-1252 text into the character before it, so it can count
// fewer characters than a record would keep.
void TextWidthFunction(sqlite3_context* context, int, sqlite3_value** args) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    const int bytes = sqlite3_value_bytes(args[0]);
    const std::size_t width =
        text != nullptr ? TextWidth(std::string_view(text, static_cast<std::size_t>(bytes))) : 0;
    sqlite3_result_int64(context, static_cast<sqlite3_int64>(width));
}

}  // namespace

void CDaoDatabase::HandleCloser::operator()(sqlite3* db) const {
    // Statements are finalized by their owners before the database goes;
    // sqlite3_close_v2 still defers the close safely if one is left.
    sqlite3_close_v2(db);
}

CDaoDatabase::~CDaoDatabase() {
    Close();
}

void CDaoDatabase::Close() {
    cache_.reset();
    db_.reset();
    path_.clear();
}

void CDaoDatabase::Create(const std::string& path, std::string_view locale) {
    if (IsOpen()) {
        ThrowLayerError(SQLITE_MISUSE, "the database is already open");
    }
    if (locale != kDbLangGeneral) {
        ThrowLayerError(SQLITE_MISUSE, "unsupported database locale " + std::string(locale));
    }
    CreateEmptyFileExclusively(path);
    try {
        OpenHandle(path, SQLITE_OPEN_READWRITE);
        // An empty file is already a valid database, but writing the header
        // now makes the file recognisable as one from the start.
        RunInternal("PRAGMA user_version = 0");
    } catch (const CDaoException&) {
        Close();
        std::remove(path.c_str());  // the empty file is ours: we just made it
        throw;
    }
}

void CDaoDatabase::Open(const std::string& path) {
    OpenExisting(path, true);
}

void CDaoDatabase::OpenReadOnly(const std::string& path) {
    OpenExisting(path, false);
}

void CDaoDatabase::OpenExisting(const std::string& path, bool writable) {
    if (IsOpen()) {
        ThrowLayerError(SQLITE_MISUSE, "the database is already open");
    }
    try {
        // No SQLITE_OPEN_CREATE: a missing file is an error, never a new one.
        OpenHandle(path, writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
        CheckReadable();
        if (writable) {
            CheckWritable();
        }
    } catch (const CDaoException&) {
        // Nothing was written; closing now makes sure nothing will be.
        Close();
        throw;
    }
}

void CDaoDatabase::OpenHandle(const std::string& path, int flags) {
    sqlite3* raw = nullptr;
    // A connection is used by one thread at a time (the programs' threads
    // besides the main one never touch the database), so SQLite need not
    // lock it around every call.
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    db_.reset(raw);  // sqlite3_open_v2 hands out a handle even on failure
    if (rc != SQLITE_OK) {
        const int code = rc;
        std::string message = raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
        db_.reset();
        ThrowLayerError(code & 0xff, message + ": " + path);
    }
    path_ = path;
    static std::atomic<std::uint64_t> openings{0};
    opening_ = ++openings;
    cache_ = std::make_shared<StatementCache>(raw);
    sqlite3_extended_result_codes(raw, 1);
    // The layer's DDL double-quotes names. By default SQLite reads a quoted
    // name that matches no column as a text literal, so an index on a
    // misspelt column would be made silently on a constant.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_create_function_v2(raw, "text_width", 1,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr,
                               TextWidthFunction, nullptr, nullptr, nullptr);
    SetBusyTimeout(kDefaultBusyTimeoutMs);
}

// SQLite opens any file lazily; only reading it tells a database from a
// text file or a damaged one. The full check, not quick_check: only it
// compares every index with the rows of its table, and an index that has
// lost entries makes look-ups miss rows, so that a list loads short and a
// new id repeats one already stored. It reads each table once per index,
// which a project database affords at every start, and it keeps a damaged
// file from being written to by the table upgrade that follows an Open.
void CDaoDatabase::CheckReadable() {
    const std::vector<std::string> tables = CheckedTables();
    if (tables.empty()) {
        CheckAll();
        return;
    }
    // The check holds a read transaction, so that no writer changes the
    // file between the tables and the size.
    RunInternal("BEGIN");
    struct End {
        CDaoDatabase& db;
        ~End() { sqlite3_exec(db.Handle(), "COMMIT", nullptr, nullptr, nullptr); }
    } end{*this};
    for (const std::string& table : tables) {
        SqliteStatement check(Handle(), "PRAGMA integrity_check(\"" + table + "\")");
        const std::string verdict = check.Step() ? check.ColumnText(0) : "no result";
        if (verdict != "ok") {
            ThrowLayerError(SQLITE_CORRUPT, "database disk image is malformed: " + verdict);
        }
    }
    CheckWholePages(Handle(), path_);
}

void CDaoDatabase::CheckAll() {
    SqliteStatement check(Handle(), "PRAGMA integrity_check(1)");
    if (!check.Step()) {
        ThrowLayerError(SQLITE_CORRUPT, "database check gave no result: " + path_);
    }
    const std::string verdict = check.ColumnText(0);
    if (verdict != "ok") {
        ThrowLayerError(SQLITE_CORRUPT, "database disk image is malformed: " + verdict);
    }
    // `check` has not run to its end: its read lock is still held.
    CheckWholePages(Handle(), path_);
}

// The run record grows with the pages of a site (some megabytes for
// thousands) and only ever saves work: a damaged record is read as none.
// Checking it at every start would cost more than all the project's tables,
// so a database that holds it has its other tables checked one by one
// instead. Empty when there is no record: the whole file is checked then.
std::vector<std::string> CDaoDatabase::CheckedTables() {
    std::vector<std::string> names = TableNames();
    const auto record = [](const std::string& name) {
        for (const char* table : kRunRecordTables) {
            if (name == table) {
                return true;
            }
        }
        return false;
    };
    const auto end = std::remove_if(names.begin(), names.end(), record);
    if (end == names.end()) {
        return {};
    }
    names.erase(end, names.end());
    return names;
}

// SQLite falls back to read-only when the file cannot be written; the
// program expects a writable database, so say so now rather than at the
// first save.
void CDaoDatabase::CheckWritable() {
    if (sqlite3_db_readonly(Handle(), "main") == 1) {
        ThrowLayerError(SQLITE_READONLY, "attempt to write a readonly database: " + path_);
    }
}

void CDaoDatabase::SetBusyTimeout(int milliseconds) {
    if (IsOpen()) {
        sqlite3_busy_timeout(Handle(), milliseconds);
    }
}

void CDaoDatabase::Trace(const std::string& sql) const {
    if (trace_) {
        trace_(sql);
    }
}

void CDaoDatabase::Execute(const std::string& sql) {
    Trace(sql);
    CachedStatement statement = Prepare(ToEngineDelete(sql));
    while (statement->Step()) {
    }
}

CachedStatement CDaoDatabase::Prepare(std::string_view sql) {
    if (!IsOpen()) {
        ThrowLayerError(SQLITE_MISUSE, "the database is not open");
    }
    return cache_->Prepare(sql);
}

void CDaoDatabase::RunInternal(std::string_view sql) {
    SqliteStatement statement(Handle(), sql);
    while (statement.Step()) {
    }
}

std::vector<std::string> CDaoDatabase::TableNames() {
    SqliteStatement query(Handle(),
                          "select name from sqlite_master where type = 'table' and "
                          "name not like 'sqlite!_%' escape '!' order by rowid");
    std::vector<std::string> names;
    while (query.Step()) {
        names.push_back(query.ColumnText(0));
    }
    return names;
}

int CDaoDatabase::GetTableDefCount() {
    return static_cast<int>(TableNames().size());
}

void CDaoDatabase::GetTableDefInfo(int index, CDaoTableDefInfo& info) {
    const std::vector<std::string> names = TableNames();
    if (index < 0 || index >= static_cast<int>(names.size())) {
        ThrowLayerError(SQLITE_RANGE, "table index out of range");
    }
    info.m_strName = names[static_cast<std::size_t>(index)];
}

void CDaoDatabase::BeginTrans() {
    RunInternal("BEGIN IMMEDIATE");
}

void CDaoDatabase::CommitTrans() {
    RunInternal("COMMIT");
}

void CDaoDatabase::Rollback() {
    RunInternal("ROLLBACK");
}

bool CDaoDatabase::InTransaction() const {
    return IsOpen() && sqlite3_get_autocommit(Handle()) == 0;
}

}  // namespace pellandrix
