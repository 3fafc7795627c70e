#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace pellandrix {

// Reading databases in the old Jet format (Jet 3: Access 97, Jet 4: Access
// 2000 to 2003) with libmdb. The file is only ever opened for reading.

// True when the file at `path` begins as a Jet 3 or Jet 4 database does.
// Reads its first bytes only; false when it cannot be read.
bool IsJetFile(const std::string& path);

// A stored value: Null, a whole number, or a text in UTF-8.
using JetValue = std::variant<std::monostate, std::int64_t, std::string>;

struct JetColumnInfo {
    std::string name;
    // A text column; otherwise a whole-number column (Long, Integer, Byte).
    bool text = false;
};

struct JetTableData {
    // The name as the database spells it.
    std::string name;
    std::vector<JetColumnInfo> columns;
    // Every row in stored order, one value per column. An empty text and
    // a Null stay apart.
    std::vector<std::vector<JetValue>> rows;
};

// Reads every row of each table in `tables` (names compared as Jet does,
// ignoring case) from the Jet file at `path`. Texts come as UTF-8: Jet 3
// texts are read as Windows-1252, every byte kept (Windows1252ToUtf8), Jet 4
// texts as the Unicode they are, whatever libmdb's environment variables
// say.
//
// Throws CDaoException with an English detail, and a code of SQLITE_NOTADB
// or SQLITE_CORRUPT, when the file cannot be read whole: it is not a Jet 3
// or Jet 4 file, its size is not a whole number of pages, a table is
// missing or has a column of another type, or a table holds fewer readable
// rows than its definition counts (a page cut off, overwritten or of the
// wrong table).
//
// `opened`, if given, runs once the file is open and before anything of it
// is read: from there on the reading opens no further file.
std::vector<JetTableData> ReadJetTables(const std::string& path,
                                        const std::vector<std::string>& tables,
                                        const std::function<void()>& opened = {});

}  // namespace pellandrix
