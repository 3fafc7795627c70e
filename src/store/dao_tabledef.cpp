#include "store/dao_tabledef.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <utility>

#include "store/dao_database.h"
#include "store/dao_exception.h"
#include "store/sqlite_statement.h"

namespace pellandrix {

namespace {

std::string Quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string ColumnDefinition(const CDaoFieldInfo& info) {
    std::string sql = Quoted(info.m_strName);
    switch (info.m_nType) {
        case kDbLong:
            sql += (info.m_lAttributes & kDbAutoIncrField) != 0
                       ? " INTEGER PRIMARY KEY AUTOINCREMENT"
                       : " INTEGER";
            break;
        case kDbDouble:
            sql += " DOUBLE";
            break;
        case kDbText:
            sql += " TEXT(" + std::to_string(info.m_lSize) + ")";
            if (!info.m_bAllowZeroLength) {
                sql += " CHECK (" + Quoted(info.m_strName) + " <> '')";
            }
            break;
        default:
            ThrowLayerError(SQLITE_MISUSE, "unsupported field type " +
                                               std::to_string(info.m_nType) + " for " +
                                               info.m_strName);
    }
    if (info.m_bRequired) {
        sql += " NOT NULL";
    }
    return sql;
}

std::string StoredIndexName(const std::string& index, const std::string& table) {
    return index + "_" + table;
}

std::string ReportedIndexName(const std::string& stored, const std::string& table) {
    const std::string suffix = "_" + table;
    if (stored.size() > suffix.size() &&
        stored.compare(stored.size() - suffix.size(), suffix.size(), suffix) == 0) {
        return stored.substr(0, stored.size() - suffix.size());
    }
    return stored;
}

std::string CreateIndexSql(const CDaoIndexInfo& info, const std::string& table) {
    std::string sql = info.m_bUnique || info.m_bPrimary ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
    sql += Quoted(StoredIndexName(info.m_strName, table)) + " ON " + Quoted(table) + " (";
    for (std::size_t i = 0; i < info.m_fields.size(); ++i) {
        if (i > 0) {
            sql += ", ";
        }
        sql += Quoted(info.m_fields[i].m_strName) +
               (info.m_fields[i].m_bDescending ? " DESC" : " ASC");
    }
    return sql + ")";
}

// Reads back what ColumnDefinition wrote; columns made by other tools are
// reported as the nearest engine type.
CDaoFieldInfo FieldFromDeclaration(std::string name, const std::string& declared, bool notNull,
                                   bool primaryKey) {
    CDaoFieldInfo info;
    info.m_strName = std::move(name);
    info.m_bRequired = notNull;
    const std::string type = Upper(declared);
    if (type.rfind("INT", 0) == 0) {
        info.m_nType = kDbLong;
        info.m_lSize = 4;
        info.m_lAttributes =
            primaryKey ? kDbFixedField | kDbAutoIncrField : kDbFixedField | kDbUpdatableField;
    } else if (type.rfind("DOUBLE", 0) == 0 || type.rfind("REAL", 0) == 0 ||
               type.rfind("FLOAT", 0) == 0) {
        info.m_nType = kDbDouble;
        info.m_lSize = 8;
        info.m_lAttributes = kDbFixedField | kDbUpdatableField;
    } else {
        info.m_nType = kDbText;
        const std::size_t open = type.find('(');
        info.m_lSize = open == std::string::npos ? 255 : std::atol(type.c_str() + open + 1);
        info.m_lAttributes = kDbVariableField | kDbUpdatableField;
        info.m_bAllowZeroLength = true;
    }
    return info;
}

// Makes Append all or nothing: the table and its indexes appear together.
// A savepoint works both inside and outside a caller's transaction.
// The layer's own statements stay out of the statement trace, which shows
// only what the program sends.
void Run(sqlite3* db, const std::string& sql) {
    SqliteStatement statement(db, sql);
    while (statement.Step()) {
    }
}

class Savepoint {
  public:
    explicit Savepoint(sqlite3* db) : db_(db) { Run(db_, "SAVEPOINT tabledef_append"); }
    ~Savepoint() {
        if (!released_) {
            try {
                Run(db_, "ROLLBACK TO tabledef_append");
                Run(db_, "RELEASE tabledef_append");
            } catch (const CDaoException&) {
                // Already failing; the first error is the one to report.
            }
        }
    }
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;
    void Release() {
        Run(db_, "RELEASE tabledef_append");
        released_ = true;
    }

  private:
    sqlite3* db_;
    bool released_ = false;
};

}  // namespace

void CDaoTableDef::Create(const std::string& name) {
    Close();
    name_ = name;
    state_ = State::kDefining;
}

void CDaoTableDef::CreateField(const CDaoFieldInfo& info) {
    if (state_ == State::kDefining) {
        ColumnDefinition(info);  // refuse an unsupported type now, not at Append
        newFields_.push_back(info);
        return;
    }
    RequireOpen();
    ForgetRead();
    Run(db_->Handle(), "ALTER TABLE " + Quoted(name_) + " ADD COLUMN " + ColumnDefinition(info));
}

void CDaoTableDef::CreateIndex(const CDaoIndexInfo& info) {
    if (state_ == State::kDefining) {
        newIndexes_.push_back(info);
        return;
    }
    RequireOpen();
    ForgetRead();
    Run(db_->Handle(), CreateIndexSql(info, name_));
}

void CDaoTableDef::Append() {
    if (state_ != State::kDefining) {
        ThrowLayerError(SQLITE_MISUSE, "no new table definition to append");
    }
    std::string sql = "CREATE TABLE " + Quoted(name_) + " (";
    for (std::size_t i = 0; i < newFields_.size(); ++i) {
        sql += (i > 0 ? ", " : "") + ColumnDefinition(newFields_[i]);
    }
    sql += ")";
    Savepoint savepoint(db_->Handle());
    Run(db_->Handle(), sql);
    for (const CDaoIndexInfo& index : newIndexes_) {
        Run(db_->Handle(), CreateIndexSql(index, name_));
    }
    savepoint.Release();
    newFields_.clear();
    newIndexes_.clear();
    state_ = State::kOpen;
}

void CDaoTableDef::Open(const std::string& name) {
    Close();
    SqliteStatement query(db_->Handle(),
                          "select 1 from sqlite_master where type = 'table' and name = ?");
    query.BindText(1, name);
    if (!query.Step()) {
        ThrowLayerError(SQLITE_ERROR, "no such table: " + name);
    }
    name_ = name;
    state_ = State::kOpen;
}

void CDaoTableDef::Close() {
    state_ = State::kClosed;
    name_.clear();
    newFields_.clear();
    newIndexes_.clear();
    ForgetRead();
}

void CDaoTableDef::ForgetRead() {
    fields_.reset();
    indexes_.reset();
}

void CDaoTableDef::RequireOpen() const {
    if (state_ != State::kOpen) {
        ThrowLayerError(SQLITE_MISUSE, "the table definition is not open");
    }
}

const std::vector<CDaoFieldInfo>& CDaoTableDef::ReadFields() {
    RequireOpen();
    if (fields_) {
        return *fields_;
    }
    SqliteStatement pragma(db_->Handle(), "PRAGMA table_info(" + Quoted(name_) + ")");
    std::vector<CDaoFieldInfo> fields;
    // Columns: cid, name, type, notnull, dflt_value, pk.
    while (pragma.Step()) {
        fields.push_back(FieldFromDeclaration(pragma.ColumnText(1), pragma.ColumnText(2),
                                              pragma.ColumnInt(3) != 0, pragma.ColumnInt(5) != 0));
    }
    return fields_.emplace(std::move(fields));
}

int CDaoTableDef::GetFieldCount() {
    return static_cast<int>(ReadFields().size());
}

void CDaoTableDef::GetFieldInfo(int index, CDaoFieldInfo& info) {
    const std::vector<CDaoFieldInfo>& fields = ReadFields();
    if (index < 0 || index >= static_cast<int>(fields.size())) {
        ThrowLayerError(SQLITE_RANGE, "field index out of range");
    }
    info = fields[static_cast<std::size_t>(index)];
}

const std::vector<CDaoIndexInfo>& CDaoTableDef::ReadIndexes() {
    RequireOpen();
    if (indexes_) {
        return *indexes_;
    }
    std::string keyColumn;
    for (const CDaoFieldInfo& field : ReadFields()) {
        if ((field.m_lAttributes & kDbAutoIncrField) != 0) {
            keyColumn = field.m_strName;
        }
    }
    // Only indexes made with CREATE INDEX (origin "c") belong to the table
    // definition; the others are SQLite's own. The schema's rowid gives the
    // creation order.
    SqliteStatement list(db_->Handle(),
                         "select m.name, l.\"unique\" from sqlite_master m "
                         "join pragma_index_list(?1) l on l.name = m.name "
                         "where m.type = 'index' and l.origin = 'c' order by m.rowid");
    list.BindText(1, name_);
    std::vector<CDaoIndexInfo> indexes;
    while (list.Step()) {
        indexes.push_back(ReadIndex(list.ColumnText(0), list.ColumnInt(1) != 0, keyColumn));
    }
    return indexes_.emplace(std::move(indexes));
}

CDaoIndexInfo CDaoTableDef::ReadIndex(const std::string& stored, bool unique,
                                      const std::string& keyColumn) {
    CDaoIndexInfo info;
    info.m_strName = ReportedIndexName(stored, name_);
    info.m_bUnique = unique;
    SqliteStatement columns(db_->Handle(), "PRAGMA index_xinfo(" + Quoted(stored) + ")");
    // Columns: seqno, cid, name, desc, coll, key.
    while (columns.Step()) {
        if (columns.ColumnInt(5) != 0) {
            info.m_fields.push_back({columns.ColumnText(2), columns.ColumnInt(3) != 0});
        }
    }
    info.m_bPrimary = unique && info.m_fields.size() == 1 && !keyColumn.empty() &&
                      info.m_fields[0].m_strName == keyColumn;
    info.m_bRequired = info.m_bPrimary;
    return info;
}

int CDaoTableDef::GetIndexCount() {
    return static_cast<int>(ReadIndexes().size());
}

void CDaoTableDef::GetIndexInfo(int index, CDaoIndexInfo& info) {
    const std::vector<CDaoIndexInfo>& indexes = ReadIndexes();
    if (index < 0 || index >= static_cast<int>(indexes.size())) {
        ThrowLayerError(SQLITE_RANGE, "index number out of range");
    }
    info = indexes[static_cast<std::size_t>(index)];
}

}  // namespace pellandrix
