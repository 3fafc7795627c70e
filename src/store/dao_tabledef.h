#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pellandrix {

class CDaoDatabase;

// Engine field types.
inline constexpr short kDbLong = 4;
inline constexpr short kDbDouble = 7;
inline constexpr short kDbText = 10;

// Field attribute bits.
inline constexpr long kDbFixedField = 1;
inline constexpr long kDbVariableField = 2;
inline constexpr long kDbAutoIncrField = 16;
inline constexpr long kDbUpdatableField = 32;

// One field of a table. The values the store never sets (collating order,
// ordinal position, default value, validation rule and text, foreign name,
// source field and table) are left out: they are always empty or 0.
struct CDaoFieldInfo {
    std::string m_strName;
    short m_nType = 0;
    long m_lSize = 0;
    long m_lAttributes = 0;
    bool m_bRequired = false;
    bool m_bAllowZeroLength = false;
};

struct CDaoIndexFieldInfo {
    std::string m_strName;
    bool m_bDescending = false;
};

// One index of a table. Clustered, ignore-nulls and foreign are accepted
// and not stored: SQLite has no use for them.
struct CDaoIndexInfo {
    std::string m_strName;
    std::vector<CDaoIndexFieldInfo> m_fields;
    bool m_bPrimary = false;
    bool m_bUnique = false;
    bool m_bRequired = false;
    bool m_bClustered = false;
    bool m_bIgnoreNulls = false;
    bool m_bForeign = false;
};

// The definition of one table: either a new one, built with Create,
// CreateField and CreateIndex and written by Append, or an existing one
// opened with Open, whose fields can be listed and extended.
//
// Mapping to SQLite: a Long field with the auto-increment attribute becomes
// "INTEGER PRIMARY KEY AUTOINCREMENT", so its numbers are never reused;
// other Long fields are INTEGER, Double fields DOUBLE, Text fields
// TEXT(size). Index names are per table here but per database in SQLite,
// so an index is stored as "<name>_<table>" (PrimaryIndex_project) and
// reported back without the suffix (PrimaryIndex).
class CDaoTableDef {
  public:
    // Works on `db`, which must outlive the definition and be open.
    explicit CDaoTableDef(CDaoDatabase& db) : db_(&db) {}
    CDaoTableDef(const CDaoTableDef&) = delete;
    CDaoTableDef& operator=(const CDaoTableDef&) = delete;

    // Starts a new table definition called `name`; nothing is written
    // until Append.
    void Create(const std::string& name);
    // New definition: adds the field to it. Open table: appends the column
    // at once; rows already stored hold Null in it.
    void CreateField(const CDaoFieldInfo& info);
    // New definition: adds the index to it. Open table: creates it at once.
    void CreateIndex(const CDaoIndexInfo& info);
    // Writes the new table and its indexes, all or nothing, and leaves the
    // definition open on it. Fails when the name is taken.
    void Append();

    // Opens the existing table `name`; fails when there is none.
    void Open(const std::string& name);
    // Fields of the open table in column order, index from 0.
    int GetFieldCount();
    void GetFieldInfo(int index, CDaoFieldInfo& info);
    // Indexes of the open table in creation order, index from 0.
    int GetIndexCount();
    void GetIndexInfo(int index, CDaoIndexInfo& info);

    bool IsOpen() const { return state_ == State::kOpen; }
    // Drops an unappended definition; harmless when closed.
    void Close();

  private:
    enum class State { kClosed, kDefining, kOpen };

    // The open table's fields and indexes, read once and kept until this
    // definition changes the table or opens another: callers ask for them
    // field by field, and each reading is a schema query.
    const std::vector<CDaoFieldInfo>& ReadFields();
    const std::vector<CDaoIndexInfo>& ReadIndexes();
    void ForgetRead();
    CDaoIndexInfo ReadIndex(const std::string& stored, bool unique, const std::string& keyColumn);
    void RequireOpen() const;

    CDaoDatabase* db_;
    State state_ = State::kClosed;
    std::string name_;
    std::vector<CDaoFieldInfo> newFields_;
    std::vector<CDaoIndexInfo> newIndexes_;
    std::optional<std::vector<CDaoFieldInfo>> fields_;
    std::optional<std::vector<CDaoIndexInfo>> indexes_;
};

}  // namespace pellandrix
