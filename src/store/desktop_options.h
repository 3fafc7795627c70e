#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellandrix {

class CDaoDatabase;

// Choices the desktop program keeps across starts, in a table of their own
// beside the project's ("DesktopOption"): per project, or for the whole
// program under project id 0.

// The value stored under `name` for `projectId`; nullopt when none is (the
// table not made yet included). Reads only. Engine errors leave as
// CDaoException.
std::optional<std::string> LoadDesktopOption(CDaoDatabase& db, int projectId,
                                             std::string_view name);

// Stores `value` under `name` for `projectId`, making the table when it is
// missing. Engine errors leave as CDaoException.
void SaveDesktopOption(CDaoDatabase& db, int projectId, std::string_view name,
                       std::string_view value);

// Forgets every choice of `projectId` (it is being deleted), so that no
// later project with its id inherits them; joins a caller's transaction.
void DeleteDesktopOptions(CDaoDatabase& db, int projectId);

}  // namespace pellandrix
