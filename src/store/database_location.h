#pragma once

#include <functional>
#include <string>

namespace pellandrix {

class CDaoDatabase;
class CMessageService;

// Where the project database lives.
struct DatabaseLocation {
    // Directory and file name joined by "/".
    std::string fullPath;
    // The database_name value alone.
    std::string fileName;
    // The full path without the file name; ends with "/".
    std::string directory;
    // The INI file looked at, and why it could not be read: empty when it
    // was read or is not there. The other members then hold the defaults,
    // which must not be used for opening.
    std::string iniPath{};
    std::string iniProblem{};
};

// Name of the INI file looked for in the current directory.
inline constexpr const char* kIniFileName = "Pellandrix.ini";

// The process's current directory, without a closing "/".
std::string CurrentDirectory();

// Reads section "database" of Pellandrix.ini in `currentDir`: key
// database_name (default "Pellandrix.mdb", up to 39 characters) and key
// database_path (default ".", up to 199 characters). A path starting with
// "." is taken relative to `currentDir`: the "." and one "\" or "/" right
// behind it are skipped, and the rest (up to 99 characters), if any, is
// joined to `currentDir` with "/". Any other path is used as written. No
// INI file or a missing key: the defaults apply. Computes afresh each time.
DatabaseLocation LocateDatabase(const std::string& currentDir);
// The same in the process's current directory.
DatabaseLocation LocateDatabase();

// Makes the database directory when no file or directory of that name
// exists. Only that last level is made; a failure is not reported (the
// database creation that follows fails in the engine).
void MakeDatabaseDirectory(const DatabaseLocation& location);

// kDeclined: the file was in the old Jet format and the user chose not to
// convert it; nothing was opened or changed.
enum class DatabaseOpening { kCreated, kOpened, kDeclined };

// What the start-up does with a database file in the old Jet format: ask
// first (a program that can ask), or convert it and say so afterwards (one
// that cannot).
enum class JetFileChoice { kAskFirst, kConvertWithNotice };

// The database part of the start-up, run once on a closed `db`:
//   1. an INI file that is there but cannot be read stops it: CDaoException
//      with message 37 naming the file, before anything is made;
//   2. MakeDatabaseDirectory;
//   3. `beforeOpening`, if given (the start-up loads the file extensions
//      here);
//   4. no file at the full path: notice 1 with the database directory
//      through `messages`, and notice 66 when a Jet file lies beside it
//      under a name a conversion gives one (JetFileBeside), then a new
//      database with tables project and
//      TPLFile, in that order, which appears under the full path only when
//      complete (CreateDatabaseOnce); if another process creates it first,
//      this one goes on with theirs;
//   5. a file that begins as a Jet 3 or Jet 4 database does (IsJetFile):
//      with kAskFirst, question 48 (Yes/No) through `messages`; any answer
//      but Yes returns kDeclined with the file untouched. Then the file is
//      converted (ConvertJetDatabase) and notice 49 names the Jet file's
//      new name. A failed conversion leaves as CDaoException (message 50),
//      with the Jet file as it was;
//   6. open the database (checked whole, CDaoDatabase::Open), refuse it
//      when a stored row holds a value the records cannot hold (message
//      38), and bring both tables up to the current columns and indexes,
//      leaving stored rows as they are. The check and the upgrade run in one
//      write transaction, so that two starts upgrading the same old
//      database at once do not trip over each other's changes.
// Returns kCreated when this call made the database, else kOpened; `db`
// stays open. Engine errors (a missing parent directory, a file that is not
// a database, is empty or damaged, no permission) leave as CDaoException
// with `db` closed; a refused file is left as it was, and an existing file
// is never overwritten or truncated.
// The database part of a start-up that must never write (Tab completion
// lists projects so): refuses an INI file that cannot be read (message
// 37), then opens the database at `location` for reading only
// (CDaoDatabase::OpenReadOnly) and refuses a stored row the records cannot
// hold (message 38). Nothing is made, converted or brought up to date: no
// file there, something else than a regular file, or a file in the old Jet
// format throws CDaoException with a German cause, before anything is
// opened. `db` is closed after any refusal.
void OpenDatabaseReadOnly(CDaoDatabase& db, const DatabaseLocation& location);

DatabaseOpening CreateOrOpenDatabase(CDaoDatabase& db, CMessageService& messages,
                                     const DatabaseLocation& location,
                                     const std::function<void()>& beforeOpening = {},
                                     JetFileChoice jet = JetFileChoice::kAskFirst);

}  // namespace pellandrix
