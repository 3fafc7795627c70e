#pragma once

#include <functional>
#include <string>

namespace pellandrix {

class CDaoDatabase;

// Makes a complete new database at `path`, unless another process makes
// one there first. The database is built under a temporary name in the
// same folder, "." + file name + ".new-" + process id, filled by
// `makeTables`, closed, and only then given the name `path`, in one step
// that never replaces a file already there. So a start killed half-way
// leaves at most its temporary file, never half a database under `path`;
// and of two starts at the same moment exactly one makes the database.
// Temporary files of earlier starts whose process has ended are removed
// first.
//
// Returns true when this call put the database at `path`; false when
// something was there first, which the caller then opens. Errors leave as
// CDaoException, after the temporary file is removed.
bool CreateDatabaseOnce(const std::string& path,
                        const std::function<void(CDaoDatabase&)>& makeTables);

}  // namespace pellandrix
