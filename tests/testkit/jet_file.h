#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace pellandrix::testkit {

// Test data only: no package writes Jet files, so the tests make their own.
// The files are as small as a reader of the page format needs: page 0 with
// the version, the system catalog MSysObjects on page 2, one table
// definition page per table, data pages, and the usage maps that tell which
// pages hold a table's rows. No indexes, no memo pages, no deleted rows.

enum class JetVersion { kJet3, kJet4 };

struct JetColumn {
    enum class Type { kLong, kText };
    std::string name;
    Type type = Type::kText;
};

// A Long value, a text (UTF-8), or Null (nullopt).
using JetValue = std::optional<std::variant<std::int32_t, std::string>>;
using JetRow = std::vector<JetValue>;

struct JetTable {
    std::string name;
    std::vector<JetColumn> columns;
    std::vector<JetRow> rows;  // one value per column, in column order
};

// The bytes of a Jet database holding `tables`, each with its rows in
// order. Texts are stored as the version stores them: Windows-1252 in Jet 3
// (a character outside that code page throws std::invalid_argument; U+0081,
// U+008D, U+008F, U+0090 and U+009D are its undefined bytes, as Windows
// maps them), UCS-2 in Jet 4. A row must fit one page (2 KB in Jet 3, 4 KB in Jet 4).
std::string JetFileBytes(JetVersion version, const std::vector<JetTable>& tables);

// Writes JetFileBytes to `path` and checks the file with mdbtools' own
// mdb-export: every table must export exactly as its rows say (a Null and
// an empty text both as mdb-export's Null, which cannot tell them apart;
// Jet 3 texts as the bytes stored), without a word on standard error. Throws std::runtime_error
// showing both when it does not, so the program is never tested on a file only it can read. Returns
// the bytes written.
std::string WriteCheckedJetFile(const std::string& path, JetVersion version,
                                const std::vector<JetTable>& tables);

// Page size of `version`, for tests that damage one page.
std::size_t JetPageSize(JetVersion version);

// The tables of a project database as the program wrote them: `project`
// and `TPLFile` with their Long key Id first, the other columns in table
// order; `withCreateFileExt` false leaves that last TPLFile column out, as
// older files do. No rows.
std::vector<JetTable> ProjectJetTables(bool withCreateFileExt = true);

// ProjectJetTables with rows as an old database may hold them: projects
// with ProjectId 1, 2 and 5 under Id 1, 2 and 7, and `files` template files
// of project 1 under Ids 3, 5, 7, ... Texts carry umlauts, "€" and "–"
// (Windows-1252's own characters), apostrophes, one path of 250
// characters, empty texts and Nulls; one flag is Null too. Every value fits
// the records and is accepted as add-project and add-file accept.
std::vector<JetTable> SampleProjectJetTables(int files, bool withCreateFileExt = true);

// The name of sample project 1.
inline constexpr const char* kSampleProjectName = "Über Größe – 10 €";

}  // namespace pellandrix::testkit
