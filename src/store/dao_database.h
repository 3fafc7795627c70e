#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/statement_cache.h"

struct sqlite3;

namespace pellandrix {

// Locale of every database the program creates: general sort order, code
// page 1252. SQLite compares text byte by byte, which is that order for the
// names the program stores.
inline constexpr std::string_view kDbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";

// What CDaoDatabase::GetTableDefInfo reports of a table.
struct CDaoTableDefInfo {
    std::string m_strName;
};

// The project database file. One object for the whole run; the file is
// closed on Close() or destruction. Every failure leaves as CDaoException
// with the engine's code and message.
//
// Statements keep the program's dialect (bracketed table names, qualified
// column names, "delete * from"); the layer translates what SQLite needs
// just before running them (sql_dialect.h).
//
// A database object, and everything made from it, is used by one thread at
// a time: the connection is opened without SQLite's own locking.
class CDaoDatabase {
  public:
    // Called with the SQL text of every statement the program hands to
    // Execute or CDaoRecordset::Open, exactly as handed in, before it runs.
    using StatementTrace = std::function<void(const std::string& sql)>;

    CDaoDatabase() = default;
    ~CDaoDatabase();
    CDaoDatabase(const CDaoDatabase&) = delete;
    CDaoDatabase& operator=(const CDaoDatabase&) = delete;

    // Makes a new, empty database file at `path` and leaves it open.
    // Fails, without touching it, when anything already exists at `path`,
    // and when the parent directory is missing. `locale` must be
    // kDbLangGeneral, the only sort order SQLite offers. Expects the object
    // not to be open.
    void Create(const std::string& path, std::string_view locale = kDbLangGeneral);

    // Opens an existing database file shared and writable. Never creates a
    // file. Reads and checks the whole file before returning, so a file that
    // is not a database, is empty, is damaged (an index that no longer
    // matches its table included) or cannot be written fails here, is
    // closed again and stays byte for byte as it was. Expects the object
    // not to be open.
    void Open(const std::string& path);
    // Opens an existing database file for reading only: nothing of it is
    // written, not even a journal. Reads and checks it whole as Open does.
    // Expects the object not to be open.
    void OpenReadOnly(const std::string& path);

    bool IsOpen() const { return db_ != nullptr; }
    // Closes the file; harmless when not open.
    void Close();
    // The path given to Create or Open.
    const std::string& Path() const { return path_; }

    // Runs one insert, update, delete or DDL statement; it applies whole or
    // raises CDaoException.
    void Execute(const std::string& sql);

    // Tables of the database in creation order, SQLite's own tables left
    // out. `index` runs from 0 to GetTableDefCount() - 1.
    int GetTableDefCount();
    void GetTableDefInfo(int index, CDaoTableDefInfo& info);

    // One transaction at a time. BeginTrans takes the write lock at once, so
    // that a save waits for another writer (busy timeout) instead of failing
    // half-way when its first write would have to upgrade the lock.
    void BeginTrans();
    void CommitTrans();
    void Rollback();
    bool InTransaction() const;

    // How long a statement waits for another process's lock before the
    // engine's busy error; 5000 ms after Create and Open.
    void SetBusyTimeout(int milliseconds);

    void SetStatementTrace(StatementTrace trace) { trace_ = std::move(trace); }
    // Reports `sql` to the trace, if one is set. Used by CDaoRecordset.
    void Trace(const std::string& sql) const;

    // A statement for `sql`, already in SQLite's dialect, bound and ready
    // to step. Reused from an earlier call whose text differed only in its
    // values, which saves compiling it again. For the layer's own classes;
    // throws CDaoException for an engine error.
    CachedStatement Prepare(std::string_view sql);

    // The engine handle for the layer's own classes; null when not open.
    // The database keeps ownership.
    sqlite3* Handle() const { return db_.get(); }
    // Which opening of a database this is, unique within the process (a
    // handle reopened may come back at the same address): 0 when not open.
    std::uint64_t Opening() const { return db_ ? opening_ : 0; }

  private:
    struct HandleCloser {
        void operator()(sqlite3* db) const;
    };

    void OpenHandle(const std::string& path, int flags);
    // Open and OpenReadOnly: an existing file only; a failed check closes it.
    void OpenExisting(const std::string& path, bool writable);
    void CheckReadable();
    void CheckAll();
    std::vector<std::string> CheckedTables();
    void CheckWritable();
    void RunInternal(std::string_view sql);
    std::vector<std::string> TableNames();

    std::unique_ptr<sqlite3, HandleCloser> db_;
    // Declared after db_: goes first, finalizing its statements before the
    // connection closes.
    std::shared_ptr<StatementCache> cache_;
    std::string path_;
    StatementTrace trace_;
    std::uint64_t opening_ = 0;
};

}  // namespace pellandrix
