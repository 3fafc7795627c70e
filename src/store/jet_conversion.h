#pragma once

#include <optional>
#include <string>

namespace pellandrix {

// Converts the Jet database at `path` (IsJetFile) into a project database
// under the same name, nothing lost:
//   1. reads every row of tables project and TPLFile (ReadJetTables);
//   2. builds a new database beside it (CNewDatabaseFile) with both tables
//      as a new database has them, and writes each row with its Id and
//      every value as stored, in one transaction: a Null stays Null, and a
//      column the Jet table lacks (CreateFileExt in older files) holds Null,
//      as the upgrade at opening leaves it. Then checks the rows as opening
//      does (message 38);
//   3. gives the Jet file the first free name of "<stem>.jet",
//      "<stem>.1.jet", "<stem>.2.jet", ... in its folder (the stem is the
//      file name without its last extension) as a second name (a hard
//      link), never replacing a file; a name that already is the Jet file's
//      own (a conversion killed after this step) is taken as it is;
//   4. gives the new database the name `path` in one rename, which drops
//      the Jet file's first name. So a kill at any moment leaves the Jet
//      file or the converted database under `path`. (A file system without
//      hard links gets two renames instead.)
// Returns the Jet file's new path. Two starts may find the same Jet file:
// the file is locked (flock) from reading to renaming, and a start that
// gets the lock only after another has converted the file returns nullopt
// and leaves that conversion as it is.
//
// A Jet table with a column a project database does not have, or with a
// text where a number belongs (or the other way round), is refused rather
// than converted in part; so is a row that add-project, add-file or import
// could not have made: a text TextRefusal refuses, or an Id, ProjectId or
// TPLFileId (within its project) below 1 or given twice (message 95). An
// entry whose ProjectId names no project is kept, as deleting a project
// leaves its entries. Every failure throws CDaoException with message
// 50 around the cause; the Jet file is then where it was, byte for byte,
// and no new file is left behind.
std::optional<std::string> ConvertJetDatabase(const std::string& path);

// The first of the names a conversion gives the Jet file at `path`
// ("<stem>.jet", "<stem>.1.jet", ...) that holds a Jet file (IsJetFile),
// looking no further than the first free name; nullopt when none does.
std::optional<std::string> JetFileBeside(const std::string& path);

}  // namespace pellandrix
