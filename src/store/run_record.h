#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "support/content_hash.h"
#include "support/shared_bytes.h"

namespace pellandrix {

class CDaoDatabase;

// The record's tables, beside the project's.
inline constexpr const char* kRunRecordTables[] = {"RunKey", "RunTrace", "RunOutput",
                                                   "RunFileHash"};

// What the last generation run of a project was made from, kept in tables
// of its own beside the project's: the traces of the run's steps, the files
// it left, and the hashes of the files it read with their stamps. An
// incremental run trusts it only while its key matches.
struct RunRecord {
    // The settings a run depends on as a whole (the record's format, the
    // project, the extension list); empty when there is no record to trust.
    std::string key;
    // One trace per step of the run: generating entry TPLFileId in a pass.
    // A step taken from the last run keeps that run's trace: the record
    // loaded and the one built beside it share the bytes.
    using TraceMap = std::map<std::pair<int, int>, SharedBytes>;
    TraceMap traces;
    // Every file the runs left in place, with the step that wrote it last.
    struct Output {
        ContentHash hash;
        int fileId = 0;
        int pass = 0;
        friend bool operator==(const Output&, const Output&) = default;
    };
    using OutputMap = std::unordered_map<std::string, Output>;
    OutputMap outputs;
    // Hashes of files, trusted while the file's stamp is unchanged and was
    // taken safely before `verifiedNs` (see CRunFiles).
    struct KnownHash {
        FileStamp stamp;
        ContentHash hash;
        std::int64_t verifiedNs = 0;
        friend bool operator==(const KnownHash&, const KnownHash&) = default;
    };
    using KnownHashMap = std::unordered_map<std::string, KnownHash>;
    KnownHashMap hashes;
};

// Tells whether the record may have changed since the stamp was taken: it
// differs once another connection committed anything to the database or
// this process wrote the record (SaveRunRecord, ForgetRunOutputs,
// DeleteRunRecord) through any connection. A record kept in memory with
// an equal stamp is the one in the database.
struct RunRecordStamp {
    std::uint64_t opening = 0;  // CDaoDatabase::Opening
    std::int64_t dataVersion = -1;
    std::uint64_t writes = 0;
    friend bool operator==(const RunRecordStamp&, const RunRecordStamp&) = default;
};
RunRecordStamp StampRunRecord(CDaoDatabase& db);

// The record of project `projectId`; an empty one when the tables do not
// exist yet. Reads only. Engine errors leave as CDaoException.
RunRecord LoadRunRecord(CDaoDatabase& db, int projectId);

// Which rows of a record a run changed: those to write as the record after
// the run holds them, and those to remove. A caller that updates a record
// in place knows them without comparing it row by row with a copy.
struct RunRecordChanges {
    bool key = false;
    std::vector<std::pair<int, int>> traces;
    std::vector<std::pair<int, int>> tracesGone;
    std::vector<std::string> outputs;
    std::vector<std::string> outputsGone;
    std::vector<std::string> hashes;
    std::vector<std::string> hashesGone;
    bool Empty() const {
        return !key && traces.empty() && tracesGone.empty() && outputs.empty() &&
               outputsGone.empty() && hashes.empty() && hashesGone.empty();
    }
};

// The rows of `after` that differ from `before`, and those of `before`
// that `after` lacks.
RunRecordChanges ChangesBetween(const RunRecord& before, const RunRecord& after);

// Writes `changes` (rows as `after` holds them) and sets the key last, in
// one transaction; writes nothing at all when there are none. Returns the
// record's stamp (see StampRunRecord) as it stood inside that transaction:
// its data_version tells whether another connection committed since a
// stamp taken before the record was loaded.
RunRecordStamp SaveRunRecord(CDaoDatabase& db, int projectId, const RunRecord& after,
                             const RunRecordChanges& changes);
// The same with the changes from `before` to `after`.
RunRecordStamp SaveRunRecord(CDaoDatabase& db, int projectId, const RunRecord& before,
                             const RunRecord& after);

// Forgets that runs left the files at `paths` (they were deleted as stale),
// in one transaction, which joins a caller's. Nothing happens for none.
void ForgetRunOutputs(CDaoDatabase& db, int projectId, const std::vector<std::string>& paths);

// Removes everything recorded for the project (it is being deleted), in
// one transaction, which joins a caller's.
void DeleteRunRecord(CDaoDatabase& db, int projectId);

// The largest project id / template-file id a row of the record's tables
// still holds; 0 when there is none. A new project or file must take an id
// above it, or it would inherit a record it never wrote.
int LargestRecordedProjectId(CDaoDatabase& db);
int LargestRecordedFileId(CDaoDatabase& db);

}  // namespace pellandrix
