#include "store/run_record.h"

#include <atomic>
#include <cstring>

#include "store/dao_database.h"
#include "store/dao_transaction.h"
#include "store/sqlite_statement.h"

namespace pellandrix {

namespace {

// Counts this process's writes of the record: another connection's commits
// show in data_version, this connection's own do not.
std::atomic<std::uint64_t> recordWrites{0};

// The record's own tables. They are made on the first run that records,
// so that databases without them stay as they are until then.
constexpr const char* kTables[] = {
    "CREATE TABLE IF NOT EXISTS RunKey (ProjectId INTEGER PRIMARY KEY, RecordKey BLOB NOT NULL)",
    "CREATE TABLE IF NOT EXISTS RunTrace (ProjectId INTEGER NOT NULL, TPLFileId INTEGER NOT NULL, "
    "Pass INTEGER NOT NULL, Trace BLOB NOT NULL, PRIMARY KEY (ProjectId, TPLFileId, Pass)) "
    "WITHOUT ROWID",
    "CREATE TABLE IF NOT EXISTS RunOutput (ProjectId INTEGER NOT NULL, Path TEXT NOT NULL, "
    "Hash BLOB NOT NULL, TPLFileId INTEGER NOT NULL, Pass INTEGER NOT NULL, "
    "PRIMARY KEY (ProjectId, Path)) WITHOUT ROWID",
    "CREATE TABLE IF NOT EXISTS RunFileHash (ProjectId INTEGER NOT NULL, Path TEXT NOT NULL, "
    "Stamp BLOB NOT NULL, Hash BLOB NOT NULL, VerifiedNs INTEGER NOT NULL, "
    "PRIMARY KEY (ProjectId, Path)) WITHOUT ROWID",
};

template <typename T>
std::string Bytes(const T& value) {
    std::string bytes(sizeof(T), '\0');
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

// A blob of the wrong size (a damaged row) reads as zeros: it matches no
// real hash or stamp, so the file is read again and the step done again.
template <typename T>
T FromBytes(const std::string& bytes) {
    T value{};
    if (bytes.size() == sizeof(T)) {
        std::memcpy(&value, bytes.data(), sizeof(T));
    }
    return value;
}

bool TablesExist(CDaoDatabase& db) {
    SqliteStatement find(db.Handle(),
                         "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'RunKey'");
    return find.Step();
}

void MakeTables(CDaoDatabase& db) {
    for (const char* sql : kTables) {
        SqliteStatement make(db.Handle(), sql);
        make.Step();
    }
}

// A statement whose first parameter is the project.
struct Select : SqliteStatement {
    Select(CDaoDatabase& db, const char* sql, int projectId) : SqliteStatement(db.Handle(), sql) {
        BindInt(1, projectId);
    }
};

void Run(SqliteStatement& statement) {
    statement.Step();
    statement.Reset();
    statement.ClearBindings();
}

void LoadTraces(CDaoDatabase& db, int projectId, RunRecord& record) {
    Select rows(db, "SELECT TPLFileId, Pass, Trace FROM RunTrace WHERE ProjectId = ?", projectId);
    while (rows.Step()) {
        record.traces[{static_cast<int>(rows.ColumnInt(0)), static_cast<int>(rows.ColumnInt(1))}] =
            SharedBytes(rows.ColumnText(2));
    }
}

void LoadOutputs(CDaoDatabase& db, int projectId, RunRecord& record) {
    Select rows(db, "SELECT Path, Hash, TPLFileId, Pass FROM RunOutput WHERE ProjectId = ?",
                projectId);
    while (rows.Step()) {
        record.outputs[rows.ColumnText(0)] = {FromBytes<ContentHash>(rows.ColumnText(1)),
                                              static_cast<int>(rows.ColumnInt(2)),
                                              static_cast<int>(rows.ColumnInt(3))};
    }
}

void LoadHashes(CDaoDatabase& db, int projectId, RunRecord& record) {
    Select rows(db, "SELECT Path, Stamp, Hash, VerifiedNs FROM RunFileHash WHERE ProjectId = ?",
                projectId);
    while (rows.Step()) {
        record.hashes[rows.ColumnText(0)] = {FromBytes<FileStamp>(rows.ColumnText(1)),
                                             FromBytes<ContentHash>(rows.ColumnText(2)),
                                             rows.ColumnInt(3)};
    }
}

void SaveTraces(CDaoDatabase& db, int projectId, const RunRecord& after,
                const RunRecordChanges& changes) {
    SqliteStatement put(db.Handle(), "INSERT OR REPLACE INTO RunTrace VALUES (?, ?, ?, ?)");
    for (const std::pair<int, int>& step : changes.traces) {
        put.BindInt(1, projectId);
        put.BindInt(2, step.first);
        put.BindInt(3, step.second);
        put.BindBlob(4, after.traces.at(step).str());
        Run(put);
    }
    SqliteStatement drop(db.Handle(),
                         "DELETE FROM RunTrace WHERE ProjectId = ? AND TPLFileId = ? AND Pass = ?");
    for (const std::pair<int, int>& step : changes.tracesGone) {
        drop.BindInt(1, projectId);
        drop.BindInt(2, step.first);
        drop.BindInt(3, step.second);
        Run(drop);
    }
}

// Rows keyed by path: written as `after` holds them, or removed.
template <typename Map, typename Bind>
void SavePaths(CDaoDatabase& db, int projectId, const char* table, const char* insert,
               const Map& after, const std::vector<std::string>& changed,
               const std::vector<std::string>& gone, Bind bind) {
    SqliteStatement put(db.Handle(), insert);
    for (const std::string& path : changed) {
        put.BindInt(1, projectId);
        put.BindText(2, path);
        bind(put, after.at(path));
        Run(put);
    }
    SqliteStatement drop(db.Handle(),
                         std::string("DELETE FROM ") + table + " WHERE ProjectId = ? AND Path = ?");
    for (const std::string& path : gone) {
        drop.BindInt(1, projectId);
        drop.BindText(2, path);
        Run(drop);
    }
}

// The keys of `after` whose rows are new or differ from `before`'s, and
// those of `before` that `after` lacks.
template <typename Map, typename Key>
void Compare(const Map& before, const Map& after, std::vector<Key>& changed,
             std::vector<Key>& gone) {
    for (const auto& [key, value] : after) {
        const auto old = before.find(key);
        if (old == before.end() || !(old->second == value)) {
            changed.push_back(key);
        }
    }
    for (const auto& [key, value] : before) {
        if (after.count(key) == 0) {
            gone.push_back(key);
        }
    }
}

void DeleteRows(CDaoDatabase& db, int projectId) {
    for (const char* table : {"RunKey", "RunTrace", "RunOutput", "RunFileHash"}) {
        SqliteStatement drop(db.Handle(),
                             std::string("DELETE FROM ") + table + " WHERE ProjectId = ?");
        drop.BindInt(1, projectId);
        drop.Step();
    }
}

}  // namespace

RunRecord LoadRunRecord(CDaoDatabase& db, int projectId) {
    RunRecord record;
    if (!TablesExist(db)) {
        return record;
    }
    Select key(db, "SELECT RecordKey FROM RunKey WHERE ProjectId = ?", projectId);
    if (key.Step()) {
        record.key = key.ColumnText(0);
    }
    LoadTraces(db, projectId, record);
    LoadOutputs(db, projectId, record);
    LoadHashes(db, projectId, record);
    return record;
}

RunRecordChanges ChangesBetween(const RunRecord& before, const RunRecord& after) {
    RunRecordChanges changes;
    changes.key = before.key != after.key;
    Compare(before.traces, after.traces, changes.traces, changes.tracesGone);
    Compare(before.outputs, after.outputs, changes.outputs, changes.outputsGone);
    Compare(before.hashes, after.hashes, changes.hashes, changes.hashesGone);
    return changes;
}

RunRecordStamp SaveRunRecord(CDaoDatabase& db, int projectId, const RunRecord& before,
                             const RunRecord& after) {
    return SaveRunRecord(db, projectId, after, ChangesBetween(before, after));
}

RunRecordStamp SaveRunRecord(CDaoDatabase& db, int projectId, const RunRecord& after,
                             const RunRecordChanges& changes) {
    // A run that changed nothing writes nothing: no transaction, no sync
    // of the disk. Nobody committed since the record was loaded exactly
    // when the stamp's data_version is still the one taken before loading.
    if (changes.Empty() && TablesExist(db)) {
        return StampRunRecord(db);
    }
    ++recordWrites;
    CDaoTransaction transaction(db);
    MakeTables(db);
    SaveTraces(db, projectId, after, changes);
    SavePaths(db, projectId, "RunOutput", "INSERT OR REPLACE INTO RunOutput VALUES (?, ?, ?, ?, ?)",
              after.outputs, changes.outputs, changes.outputsGone,
              [](SqliteStatement& put, const RunRecord::Output& output) {
                  put.BindBlob(3, Bytes(output.hash));
                  put.BindInt(4, output.fileId);
                  put.BindInt(5, output.pass);
              });
    SavePaths(db, projectId, "RunFileHash",
              "INSERT OR REPLACE INTO RunFileHash VALUES (?, ?, ?, ?, ?)", after.hashes,
              changes.hashes, changes.hashesGone,
              [](SqliteStatement& put, const RunRecord::KnownHash& known) {
                  put.BindBlob(3, Bytes(known.stamp));
                  put.BindBlob(4, Bytes(known.hash));
                  put.BindInt(5, known.verifiedNs);
              });
    SqliteStatement key(db.Handle(), "INSERT OR REPLACE INTO RunKey VALUES (?, ?)");
    key.BindInt(1, projectId);
    key.BindBlob(2, after.key);
    key.Step();
    // Taken while this transaction holds the write lock: no other commit
    // can come between it and ours.
    const RunRecordStamp stamp = StampRunRecord(db);
    transaction.Commit();
    return stamp;
}

void ForgetRunOutputs(CDaoDatabase& db, int projectId, const std::vector<std::string>& paths) {
    if (paths.empty() || !TablesExist(db)) {
        return;
    }
    ++recordWrites;
    CDaoTransaction transaction(db);
    SqliteStatement drop(db.Handle(), "DELETE FROM RunOutput WHERE ProjectId = ? AND Path = ?");
    for (const std::string& path : paths) {
        drop.BindInt(1, projectId);
        drop.BindText(2, path);
        Run(drop);
    }
    transaction.Commit();
}

void DeleteRunRecord(CDaoDatabase& db, int projectId) {
    if (!TablesExist(db)) {
        return;
    }
    ++recordWrites;
    CDaoTransaction transaction(db);
    DeleteRows(db, projectId);
    transaction.Commit();
}

RunRecordStamp StampRunRecord(CDaoDatabase& db) {
    SqliteStatement version(db.Handle(), "PRAGMA data_version");
    const std::int64_t dataVersion = version.Step() ? version.ColumnInt(0) : -1;
    return {db.Opening(), dataVersion, recordWrites.load()};
}

namespace {

int LargestOf(CDaoDatabase& db, const char* sql) {
    SqliteStatement largest(db.Handle(), sql);
    return largest.Step() ? static_cast<int>(largest.ColumnInt(0)) : 0;
}

}  // namespace

int LargestRecordedProjectId(CDaoDatabase& db) {
    if (!TablesExist(db)) {
        return 0;
    }
    return LargestOf(db,
                     "SELECT coalesce(max(K), 0) FROM (SELECT max(ProjectId) AS K FROM RunKey "
                     "UNION ALL SELECT max(ProjectId) FROM RunTrace "
                     "UNION ALL SELECT max(ProjectId) FROM RunOutput "
                     "UNION ALL SELECT max(ProjectId) FROM RunFileHash)");
}

int LargestRecordedFileId(CDaoDatabase& db) {
    if (!TablesExist(db)) {
        return 0;
    }
    return LargestOf(db,
                     "SELECT coalesce(max(K), 0) FROM (SELECT max(TPLFileId) AS K FROM RunTrace "
                     "UNION ALL SELECT max(TPLFileId) FROM RunOutput)");
}

}  // namespace pellandrix
