#include "store/database_creation.h"

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "store/dao_database.h"
#include "store/dao_exception.h"
#include "store/dao_transaction.h"
#include "store/sqlite_statement.h"

namespace pellandrix {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kJournalSuffix = "-journal";

fs::path FolderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

std::string TempPrefix(const fs::path& path) {
    return "." + path.filename().string() + ".new-";
}

bool ProcessAlive(long pid) {
    // EPERM: the process exists but belongs to someone else.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The process id in `name` when it is a temporary database of `prefix`
// (or that database's journal), else 0.
long PidOfTempFile(const std::string& name, const std::string& prefix) {
    if (name.compare(0, prefix.size(), prefix) != 0) {
        return 0;
    }
    const char* digits = name.c_str() + prefix.size();
    char* end = nullptr;
    const long pid = std::strtol(digits, &end, 10);
    const std::string_view rest(end);
    if (end == digits || pid <= 0 || !(rest.empty() || rest == kJournalSuffix)) {
        return 0;
    }
    return pid;
}

// A start killed while creating leaves its temporary file (and maybe its
// journal). Ours is stale too: this process creates one database at a time.
void SweepStaleTempFiles(const fs::path& path) {
    const std::string prefix = TempPrefix(path);
    const long self = static_cast<long>(::getpid());
    std::error_code error;
    for (fs::directory_iterator it(FolderOf(path), error), end; !error && it != end;
         it.increment(error)) {
        const long pid = PidOfTempFile(it->path().filename().string(), prefix);
        if (pid != 0 && (pid == self || !ProcessAlive(pid))) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

void RemoveTempFiles(const std::string& temp) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    fs::remove(temp + std::string(kJournalSuffix), ignored);
}

// The temporary file is no one's until it has its name, and a failure or
// a kill only leaves it to be swept: so it is built without the engine's
// journal file and flushes, which cost more than the rest of the creation,
// and written to disk once, complete, before it is named.
void BuildQuickly(CDaoDatabase& fresh) {
    for (const char* pragma : {"PRAGMA journal_mode = MEMORY", "PRAGMA synchronous = OFF"}) {
        SqliteStatement statement(fresh.Handle(), pragma);
        while (statement.Step()) {
        }
    }
}

// Flushes the file or folder at `path`, so that a database and its new name
// outlive a power cut too, not only a killed process.
void Flush(const fs::path& path, int flags) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

// renameat2 does it in one step; file systems without it get a hard link,
// which fails the same way on an existing name, and the old name is
// dropped afterwards.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    int error = errno;
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
        error = ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
        if (error == 0) {
            ::unlink(from.c_str());
            return true;
        }
    }
    if (error == EEXIST) {
        return false;
    }
    ThrowLayerError(SQLITE_CANTOPEN,
                    "cannot rename " + from + " to " + to + ": " + std::strerror(error));
}

CNewDatabaseFile::CNewDatabaseFile(std::string path) : path_(std::move(path)) {
    const fs::path target(path_);
    SweepStaleTempFiles(target);
    temp_ = (FolderOf(target) / (TempPrefix(target) + std::to_string(::getpid()))).string();
}

CNewDatabaseFile::~CNewDatabaseFile() {
    if (!published_) {
        RemoveTempFiles(temp_);
    }
}

void CNewDatabaseFile::Build(const std::function<void(CDaoDatabase&)>& fill) {
    CDaoDatabase fresh;
    fresh.Create(temp_);
    BuildQuickly(fresh);
    CDaoTransaction tables(fresh);
    fill(fresh);
    tables.Commit();
    fresh.Close();
    Flush(temp_, 0);
}

bool CNewDatabaseFile::Publish() {
    published_ = RenameWithoutReplacing(temp_, path_);
    if (published_) {
        Flush(FolderOf(fs::path(path_)), O_DIRECTORY);
    }
    return published_;
}

void CNewDatabaseFile::PublishReplacing() {
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        ThrowLayerError(SQLITE_CANTOPEN,
                        "cannot rename " + temp_ + " to " + path_ + ": " + std::strerror(errno));
    }
    published_ = true;
    Flush(FolderOf(fs::path(path_)), O_DIRECTORY);
}

bool CreateDatabaseOnce(const std::string& path,
                        const std::function<void(CDaoDatabase&)>& makeTables) {
    CNewDatabaseFile database(path);
    database.Build(makeTables);
    // False: another process was first; its database counts, ours goes.
    return database.Publish();
}

}  // namespace pellandrix
