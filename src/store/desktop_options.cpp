#include "store/desktop_options.h"

#include "store/dao_database.h"
#include "store/sqlite_statement.h"

namespace pellandrix {

namespace {

// Made at the first choice stored, so that databases without it stay as
// they are until then.
bool TableExists(CDaoDatabase& db) {
    SqliteStatement find(
        db.Handle(), "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'DesktopOption'");
    return find.Step();
}

}  // namespace

std::optional<std::string> LoadDesktopOption(CDaoDatabase& db, int projectId,
                                             std::string_view name) {
    if (!TableExists(db)) {
        return std::nullopt;
    }
    SqliteStatement row(db.Handle(),
                        "SELECT Value FROM DesktopOption WHERE ProjectId = ? AND Name = ?");
    row.BindInt(1, projectId);
    row.BindText(2, name);
    if (!row.Step()) {
        return std::nullopt;
    }
    return row.ColumnText(0);
}

void SaveDesktopOption(CDaoDatabase& db, int projectId, std::string_view name,
                       std::string_view value) {
    SqliteStatement make(db.Handle(),
                         "CREATE TABLE IF NOT EXISTS DesktopOption (ProjectId INTEGER NOT NULL, "
                         "Name TEXT NOT NULL, Value TEXT NOT NULL, PRIMARY KEY (ProjectId, Name)) "
                         "WITHOUT ROWID");
    make.Step();
    SqliteStatement put(db.Handle(), "INSERT OR REPLACE INTO DesktopOption VALUES (?, ?, ?)");
    put.BindInt(1, projectId);
    put.BindText(2, name);
    put.BindText(3, value);
    put.Step();
}

void DeleteDesktopOptions(CDaoDatabase& db, int projectId) {
    if (!TableExists(db)) {
        return;
    }
    SqliteStatement drop(db.Handle(), "DELETE FROM DesktopOption WHERE ProjectId = ?");
    drop.BindInt(1, projectId);
    drop.Step();
}

}  // namespace pellandrix
