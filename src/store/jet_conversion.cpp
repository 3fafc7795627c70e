#include "store/jet_conversion.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>

#include "store/dao_database.h"
#include "store/dao_exception.h"
#include "store/dao_tabledef.h"
#include "store/database_creation.h"
#include "store/jet_child.h"
#include "store/jet_import.h"
#include "store/project_record.h"
#include "store/sqlite_statement.h"
#include "store/tpl_file_record.h"
#include "support/stored_text.h"
#include "support/string_table.h"

namespace pellandrix {

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kTables{"project", "TPLFile"};

// The field of the new table that `column` goes into. Jet compares names
// without case, so a column written "projectid" is ProjectId.
const CDaoFieldInfo& TargetField(const std::vector<CDaoFieldInfo>& fields, const std::string& table,
                                 const JetColumnInfo& column) {
    const auto field = std::find_if(fields.begin(), fields.end(), [&](const CDaoFieldInfo& f) {
        return ::strcasecmp(f.m_strName.c_str(), column.name.c_str()) == 0;
    });
    if (field == fields.end()) {
        ThrowLayerError(SQLITE_MISMATCH, "table " + table + " has a column " + column.name +
                                             ", which a project database does not have");
    }
    if ((field->m_nType == kDbText) != column.text) {
        ThrowLayerError(SQLITE_MISMATCH, "table " + table + ", column " + column.name + ": " +
                                             (column.text ? "a text" : "a number") +
                                             " where the other belongs");
    }
    return *field;
}

std::vector<CDaoFieldInfo> FieldsOf(CDaoDatabase& db, const std::string& table) {
    CDaoTableDef definition(db);
    definition.Open(table);
    std::vector<CDaoFieldInfo> fields(static_cast<std::size_t>(definition.GetFieldCount()));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        definition.GetFieldInfo(static_cast<int>(i), fields[i]);
    }
    return fields;
}

void Bind(SqliteStatement& insert, int index, const JetValue& value) {
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        insert.BindInt(index, *number);
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        insert.BindText(index, *text);
    }  // Null: left unbound, which is Null
}

// Id included: the rows keep their keys. The layer's own statement, like
// the checks at opening, so that a Null stays Null instead of becoming a
// record's 0 or empty text.
void CopyRows(CDaoDatabase& db, const JetTableData& jet, const std::string& table) {
    const std::vector<CDaoFieldInfo> fields = FieldsOf(db, table);
    std::string names;
    std::string marks;
    for (const JetColumnInfo& column : jet.columns) {
        names +=
            (names.empty() ? "\"" : ",\"") + TargetField(fields, table, column).m_strName + "\"";
        marks += marks.empty() ? "?" : ",?";
    }
    SqliteStatement insert(db.Handle(),
                           "insert into \"" + table + "\" (" + names + ") values (" + marks + ")");
    for (const std::vector<JetValue>& row : jet.rows) {
        insert.Reset();
        insert.ClearBindings();
        for (std::size_t i = 0; i < row.size(); ++i) {
            Bind(insert, static_cast<int>(i) + 1, row[i]);
        }
        while (insert.Step()) {
        }
    }
}

std::optional<std::size_t> ColumnAt(const JetTableData& jet, const char* name) {
    for (std::size_t i = 0; i < jet.columns.size(); ++i) {
        if (::strcasecmp(jet.columns[i].name.c_str(), name) == 0) {
            return i;
        }
    }
    return std::nullopt;
}

// The row's Id as a text for a message; "?" when the table has none.
std::string IdOf(const JetTableData& jet, const std::vector<JetValue>& row) {
    const std::optional<std::size_t> at = ColumnAt(jet, "Id");
    const auto* id = at ? std::get_if<std::int64_t>(&row[*at]) : nullptr;
    return id != nullptr ? std::to_string(*id) : "?";
}

// The part a text column plays, by its name; every text column of both
// tables holds a name, a folder or an extension.
TextRole RoleOf(const std::string& table, const std::string& column) {
    const auto is = [&column](const char* name) { return ::strcasecmp(column.c_str(), name) == 0; };
    if (is("SourcePath") || is("TargetPath")) {
        return TextRole::kFolder;
    }
    if (is("DefCreateFileExt") || is("CreateFileExt")) {
        return TextRole::kExtension;
    }
    return table == "TPLFile" ? TextRole::kFileName : TextRole::kName;
}

// A text that add-project, add-file and import refuse must not come in by
// conversion either.
void RefuseUnacceptable(const JetTableData& jet, const std::string& table) {
    for (const std::vector<JetValue>& row : jet.rows) {
        for (std::size_t i = 0; i < jet.columns.size(); ++i) {
            const auto* text = std::get_if<std::string>(&row[i]);
            if (text == nullptr) {
                continue;
            }
            const std::string& column = jet.columns[i].name;
            if (const std::optional<MessageId> refusal =
                    TextRefusal(*text, RoleOf(table, column))) {
                ThrowLayerError(
                    SQLITE_CONSTRAINT,
                    FormatMessage(*refusal,
                                  table + "." + column + " in der Zeile mit Id " + IdOf(jet, row),
                                  ""));
            }
        }
    }
}

// A Null number loads as a record's 0.
std::int64_t NumberAt(const std::vector<JetValue>& row, std::optional<std::size_t> at) {
    const auto* number = at ? std::get_if<std::int64_t>(&row[*at]) : nullptr;
    return number != nullptr ? *number : 0;
}

// Refuses the first row whose number in `column` is below 1 or was given
// already within the same value of `scope` (when there is one).
void RefuseIdsOf(const JetTableData& jet, const std::string& table, const char* column,
                 const char* scope) {
    const std::optional<std::size_t> at = ColumnAt(jet, column);
    const std::optional<std::size_t> within = scope ? ColumnAt(jet, scope) : std::nullopt;
    if (!at || jet.columns[*at].text) {
        return;  // a text where the number belongs is refused as such
    }
    std::set<std::pair<std::int64_t, std::int64_t>> given;
    for (const std::vector<JetValue>& row : jet.rows) {
        const std::int64_t id = NumberAt(row, at);
        if (id < 1 || !given.emplace(NumberAt(row, within), id).second) {
            ThrowLayerError(SQLITE_CONSTRAINT,
                            FormatMessage(MessageId::kIdNeverGiven,
                                          table + "." + jet.columns[*at].name, IdOf(jet, row)));
        }
    }
}

// The program numbers rows from 1 and gives each number once: the engine
// the Id of every row, the lists a project's ProjectId and an entry's
// TPLFileId within its project. Rows are found, changed and deleted by
// these, so a second row under one number would be changed with the first.
// An entry whose ProjectId names no project is kept: deleting a project
// leaves its entries so, in this program as in the one that wrote the file.
void RefuseIdsNeverGiven(const JetTableData& jet, const std::string& table) {
    RefuseIdsOf(jet, table, "Id", nullptr);
    if (table == "TPLFile") {
        RefuseIdsOf(jet, table, "TPLFileId", "ProjectId");
    } else {
        RefuseIdsOf(jet, table, "ProjectId", nullptr);
    }
}

void FillFrom(CDaoDatabase& db, const std::vector<JetTableData>& jet) {
    CProjectRecord::CreateTable(db);
    CTplFileRecord::CreateTable(db);
    for (std::size_t i = 0; i < kTables.size(); ++i) {
        CopyRows(db, jet[i], kTables[i]);
    }
    // A value the records cannot hold would be refused at the first
    // opening, with the Jet file already moved aside.
    CProjectRecord::CheckRows(db);
    CTplFileRecord::CheckRows(db);
}

// Try `n` of the names the Jet file gets beside the new database.
std::string AsideName(const std::string& path, int n) {
    const fs::path jet(path);
    const fs::path folder = jet.has_parent_path() ? jet.parent_path() : fs::path(".");
    return (folder / (jet.stem().string() + (n == 0 ? "" : "." + std::to_string(n)) + ".jet"))
        .string();
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Renames the Jet file to the first free name; returns that name.
std::string MoveAside(const std::string& path) {
    for (int n = 0;; ++n) {
        const std::string aside = AsideName(path, n);
        if (RenameWithoutReplacing(path, aside)) {
            return aside;
        }
    }
}

// Gives the Jet file `jet` at `path` a second name: the first free one, or
// one that a conversion killed after this step gave it already, so that
// the next start finishes that conversion instead of leaving a copy.
// nullopt when the file system has no hard links.
std::optional<std::string> LinkAside(const std::string& path, const struct stat& jet) {
    for (int n = 0;; ++n) {
        const std::string aside = AsideName(path, n);
        if (::link(path.c_str(), aside.c_str()) == 0) {
            return aside;
        }
        const int error = errno;
        struct stat there;
        if (error == EEXIST) {
            if (::lstat(aside.c_str(), &there) == 0 && SameFile(there, jet)) {
                return aside;
            }
            continue;
        }
        if (error == EPERM || error == EOPNOTSUPP || error == EMLINK) {
            return std::nullopt;
        }
        ThrowLayerError(SQLITE_CANTOPEN,
                        "cannot link " + path + " to " + aside + ": " + std::strerror(error));
    }
}

bool RenamedWithoutReplacing(const std::string& from, const std::string& to) noexcept {
    try {
        return RenameWithoutReplacing(from, to);
    } catch (const CDaoException&) {
        return false;
    }
}

// The Jet file, open and locked while the object lives.
class LockedFile {
  public:
    explicit LockedFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
        if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0) {
            ThrowLayerError(SQLITE_CANTOPEN, "cannot open and lock " + path);
        }
    }
    ~LockedFile() {
        if (fd_ >= 0) {
            ::close(fd_);  // releases the lock
        }
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // True while `path` still names the locked file and that still is a Jet
    // file: another start that held the lock before has not converted it.
    bool StillJetAt(const std::string& path) const {
        struct stat named;
        return ::stat(path.c_str(), &named) == 0 && SameFile(Stat(), named) && IsJetFile(path);
    }

    struct stat Stat() const {
        struct stat locked {};
        ::fstat(fd_, &locked);
        return locked;
    }

  private:
    int fd_;
};

std::optional<std::string> Convert(const std::string& path) {
    const LockedFile lock(path);
    if (!lock.StillJetAt(path)) {
        return std::nullopt;
    }
    const std::vector<JetTableData> jet = ReadJetTablesApart(path, kTables);
    for (std::size_t i = 0; i < kTables.size(); ++i) {
        RefuseUnacceptable(jet[i], kTables[i]);
        RefuseIdsNeverGiven(jet[i], kTables[i]);
    }
    CNewDatabaseFile fresh(path);
    fresh.Build([&jet](CDaoDatabase& db) { FillFrom(db, jet); });
    // With the Jet file under both names, one rename puts the new database
    // in its place: a kill at any moment leaves either the Jet file or the
    // converted one under `path`, never nothing.
    if (const std::optional<std::string> linked = LinkAside(path, lock.Stat())) {
        try {
            fresh.PublishReplacing();
        } catch (const CDaoException&) {
            ::unlink(linked->c_str());  // the Jet file keeps its own name
            throw;
        }
        return linked;
    }
    // A file system without hard links: two renames, which a kill between
    // them would leave with the Jet file moved aside and no database.
    const std::string aside = MoveAside(path);
    bool published = false;
    try {
        published = fresh.Publish();
    } catch (const CDaoException&) {
    }
    if (!published) {
        // Something took the name in the moment between; the Jet file goes
        // back, and the new database with the object.
        const bool back = RenamedWithoutReplacing(aside, path);
        ThrowLayerError(SQLITE_CANTOPEN, "the new database cannot take the name " + path +
                                             (back ? "" : "; the Jet file is now " + aside));
    }
    return aside;
}

}  // namespace

std::optional<std::string> JetFileBeside(const std::string& path) {
    for (int n = 0;; ++n) {
        const std::string aside = AsideName(path, n);
        struct stat there;
        if (::lstat(aside.c_str(), &there) != 0) {
            return std::nullopt;
        }
        if (S_ISREG(there.st_mode) && IsJetFile(aside)) {
            return aside;
        }
    }
}

std::optional<std::string> ConvertJetDatabase(const std::string& path) {
    try {
        return Convert(path);
    } catch (const CDaoException& e) {
        ThrowLayerError(e.Code(), FormatMessage(MessageId::kJetConversionFailed, e.Message(), ""));
    }
}

}  // namespace pellandrix
