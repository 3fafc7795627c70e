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

// Gives the file or link `from` the name `to` unless something has that
// name already, in one step where the file system allows (otherwise as a
// hard link that is then dropped from `from`, which fails the same way).
// Returns false when `to` was taken, and `from` is then unchanged. Throws
// CDaoException when the file system refuses the rename for another
// reason.
bool RenameWithoutReplacing(const std::string& from, const std::string& to);

// The steps of CreateDatabaseOnce, for a caller that must make room at
// `path` between building and naming (a conversion moves the old file
// aside). Owns the temporary file until Publish has given it its name.
class CNewDatabaseFile {
  public:
    // Removes the temporary files of earlier starts whose process has ended.
    explicit CNewDatabaseFile(std::string path);
    // Removes the temporary file and its journal unless they were
    // published.
    ~CNewDatabaseFile();
    CNewDatabaseFile(const CNewDatabaseFile&) = delete;
    CNewDatabaseFile& operator=(const CNewDatabaseFile&) = delete;

    // Makes the temporary database, runs `fill` on it in one transaction,
    // commits, closes it and writes it to disk. Call once. Errors leave as
    // CDaoException.
    void Build(const std::function<void(CDaoDatabase&)>& fill);
    // Gives the built database the name `path` in one step that never
    // replaces a file already there. Returns false when something has that
    // name; the temporary file then stays this object's. Throws
    // CDaoException when the file system refuses the rename.
    bool Publish();
    // Gives the built database the name `path` in one step, replacing the
    // file there, which the caller has given another name first. Throws
    // CDaoException when the file system refuses the rename; the temporary
    // file then stays this object's.
    void PublishReplacing();

  private:
    std::string path_;
    std::string temp_;
    bool published_ = false;
};

}  // namespace pellandrix
