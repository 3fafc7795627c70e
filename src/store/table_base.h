#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/column_def.h"

namespace pellandrix {

class CDaoDatabase;
class CDaoRecordset;
class CDaoTableDef;
struct CDaoFieldInfo;

// A non-unique index on the columns a record type looks its rows up by.
// The record statements filter on those columns; without such an index
// every lookup reads the whole table, so saving N records costs N table
// scans. It adds nothing to the tables' columns and no uniqueness rule:
// rows with equal keys stay allowed.
struct LookupIndex {
    std::string Name;
    std::vector<std::string> Columns;
};
using LookupIndexes = std::vector<LookupIndex>;

// The store's shared table operations over a column table: creating and
// upgrading tables, building the SQL lists of the record statements and
// reading a row back into the bound members. Keeps no state. Engine errors
// leave as CDaoException; nothing is caught here.
class CDaoTableBase {
  public:
    // The key column Id: Integer, AutoNumber, no storage. Created first in
    // every table; never part of a record's column table.
    static const ColumnDef& KeyColumn();

    // Column names in table order, joined by "," (no blanks). `out` is
    // emptied first.
    static void BuildColumnList(const ColumnTable& columns, std::string& out);
    // The SQL literal of every column, joined by ",": integers as "%d",
    // doubles as "%f", texts in apostrophes with every apostrophe of the
    // value doubled and nothing else escaped, dates as eight digits.
    static void BuildValueList(const ColumnTable& columns, std::string& out);
    // "Name = literal" for every column, joined by ","; a date is quoted
    // here.
    static void BuildAssignmentList(const ColumnTable& columns, std::string& out);

    // Copies the recordset's current row into the bound members. A Null
    // reads as 0, the empty text or date value 0. Returns true.
    static bool ReadRow(const ColumnTable& columns, const CDaoRecordset& recordset);

    // True when the database has a table of exactly that name (case
    // matters).
    static bool TableExists(CDaoDatabase& db, std::string_view name);
    // True when the open table definition has a field of exactly that name.
    static bool ColumnExists(CDaoTableDef& tableDef, std::string_view name);
    // True when the open table definition has an index of exactly that
    // name.
    static bool IndexExists(CDaoTableDef& tableDef, std::string_view name);
    // Fills `info` for `column` (type, size, attributes); false for a kind
    // outside 1 to 5.
    static bool MakeFieldInfo(const ColumnDef& column, CDaoFieldInfo& info);

    // Creates table `name` with Id, the columns in order, the index
    // PrimaryIndex on Id and then the lookup indexes, all or nothing.
    // Expects no such table. Returns true.
    static bool CreateTable(CDaoDatabase& db, const std::string& name, const ColumnTable& columns,
                            const LookupIndexes& lookups = {});
    // Creates the table if it is missing, otherwise appends every column it
    // lacks (stored rows hold Null there) and then every lookup index it
    // lacks. Never alters or drops a column or an index, never touches a
    // row. Returns true.
    static bool EnsureTable(CDaoDatabase& db, const std::string& name, const ColumnTable& columns,
                            const LookupIndexes& lookups = {});

    // Throws CDaoException (message 38, naming table, column and the row's
    // Id) for the first row of table `name`, in Id order, whose value in one
    // of `columns` its bound member cannot hold as stored: an integer
    // column with a value that is not an integer or lies outside 32 bits, a
    // text longer than its member. Such a row would load as another id or
    // a cut text, and the next save would write that over it. Columns and a
    // table the database lacks are skipped; Null is fine. Reads only.
    static void CheckRows(CDaoDatabase& db, const std::string& name, const ColumnTable& columns);

    // The key a list hands out after `counter`. Throws CDaoException
    // (message 39, naming `table`) instead when `counter` is the largest
    // 32-bit value, which the next key would wrap past.
    static int NextKey(int counter, std::string_view table);
};

}  // namespace pellandrix
