#pragma once

#include <string>
#include <string_view>

namespace pellandrix {

class CDaoDatabase;

// The largest key that `sql` ("select max(Key) as K from ...") finds in
// `db`, or 0 when the table holds no row. Engine errors leave as
// CDaoException.
int LargestStoredKey(CDaoDatabase& db, const std::string& sql);

// The largest project id / template-file id that a row of any table still
// holds: the projects, the template files (a deleted project's files left
// by an older version included) and the run records. A new project or file
// takes an id above it, so that it never shows or inherits rows it does
// not own. Engine errors leave as CDaoException.
int LargestProjectIdInUse(CDaoDatabase& db);
int LargestFileIdInUse(CDaoDatabase& db);

// The key a new record gets inside a save's transaction: its provisional
// `key`, unless a row (up to `largestStored`) may already hold it; then the
// next free one. Refuses (CDaoException naming `table`) to go past the
// largest 32-bit key.
int KeyForNewRow(int key, int largestStored, std::string_view table);

}  // namespace pellandrix
