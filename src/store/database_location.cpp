#include "store/database_location.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "store/dao_database.h"
#include "store/dao_exception.h"
#include "store/dao_transaction.h"
#include "store/database_creation.h"
#include "store/jet_conversion.h"
#include "store/jet_import.h"
#include "store/profile_reader.h"
#include "store/project_record.h"
#include "store/tpl_file_record.h"
#include "support/fixed_text.h"
#include "support/message_service.h"
#include "support/string_table.h"

namespace pellandrix {

namespace {

constexpr const char* kSection = "database";
constexpr const char* kDefaultName = "Pellandrix.mdb";
constexpr const char* kDefaultPath = ".";
constexpr std::size_t kMaxNameLength = 39;
constexpr std::size_t kMaxPathLength = 199;
constexpr std::size_t kMaxRelativeLength = 99;

// "." alone, ".\x", "./x" and ".x" all name something below `currentDir`;
// "..\x" therefore becomes the subdirectory "./x", not the parent.
// Backslashes in the relative part separate directories, as they do in an
// INI file written on Windows; on their own they would name one directory
// with a backslash in its name.
std::string DirectoryFromSetting(const std::string& setting, const std::string& currentDir) {
    if (setting.empty() || setting.front() != '.') {
        return setting;
    }
    std::string_view relative(setting);
    relative.remove_prefix(1);
    if (!relative.empty() && (relative.front() == '\\' || relative.front() == '/')) {
        relative.remove_prefix(1);
    }
    std::string rest(CutToWidth(relative, kMaxRelativeLength));
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return rest.empty() ? currentDir : currentDir + "/" + rest;
}

bool NothingAt(const std::string& path) {
    std::error_code error;
    // symlink_status: a dangling link is something, and Create must not
    // write through it.
    return std::filesystem::symlink_status(path, error).type() ==
           std::filesystem::file_type::not_found;
}

// A FIFO, device or socket under the database's name would stall every
// start (and Tab completion, which lists projects) or be written into.
void RefuseIfNotRegular(const std::string& path) {
    struct stat entry;
    if (::stat(path.c_str(), &entry) == 0 && !S_ISREG(entry.st_mode) && !S_ISDIR(entry.st_mode)) {
        ThrowLayerError(SQLITE_CANTOPEN, path + " ist keine gewöhnliche Datei");
    }
}

void MakeTables(CDaoDatabase& db) {
    CProjectRecord::CreateTable(db);
    CTplFileRecord::CreateTable(db);
}

// Under the write lock, so that each table and column is looked for again
// after any other process's upgrade and never added twice. The rows are
// checked first: a refused database stays untouched.
void CheckAndUpgrade(CDaoDatabase& db) {
    CDaoTransaction upgrade(db);
    CProjectRecord::CheckRows(db);
    CTplFileRecord::CheckRows(db);
    CProjectRecord::EnsureTable(db);
    CTplFileRecord::EnsureTable(db);
    upgrade.Commit();
}

// False when the user would rather keep the Jet file as it is.
bool ConvertJetFile(CMessageService& messages, const std::string& path, JetFileChoice jet) {
    if (jet == JetFileChoice::kAskFirst &&
        messages.AskQuestion(MessageId::kConvertJetDatabase, ButtonStyle::YesNo, path) !=
            MessageAnswer::Yes) {
        return false;
    }
    if (const std::optional<std::string> aside = ConvertJetDatabase(path)) {
        messages.ShowNotice(MessageId::kJetDatabaseConverted, path, *aside);
    }
    return true;
}

}  // namespace

std::string CurrentDirectory() {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string(".") : current.string();
}

DatabaseLocation LocateDatabase(const std::string& currentDir) {
    const std::string ini = currentDir + "/" + kIniFileName;
    DatabaseLocation location;
    location.iniPath = ini;
    location.iniProblem = ProfileReadProblem(ini);
    // An unreadable file is not read at all: a FIFO would stall the reading.
    const std::string readable = location.iniProblem.empty() ? ini : std::string();
    location.fileName =
        GetProfileString(readable, kSection, "database_name", kDefaultName, kMaxNameLength);
    const std::string setting =
        GetProfileString(readable, kSection, "database_path", kDefaultPath, kMaxPathLength);
    location.fullPath = DirectoryFromSetting(setting, currentDir) + "/" + location.fileName;
    location.directory =
        location.fullPath.substr(0, location.fullPath.size() - location.fileName.size());
    return location;
}

DatabaseLocation LocateDatabase() {
    return LocateDatabase(CurrentDirectory());
}

void MakeDatabaseDirectory(const DatabaseLocation& location) {
    if (NothingAt(location.directory)) {
        std::error_code ignored;
        std::filesystem::create_directory(location.directory, ignored);
    }
}

void OpenDatabaseReadOnly(CDaoDatabase& db, const DatabaseLocation& location) {
    if (!location.iniProblem.empty()) {
        ThrowLayerError(SQLITE_CANTOPEN, FormatMessage(MessageId::kIniUnreadable, location.iniPath,
                                                       location.iniProblem));
    }
    if (NothingAt(location.fullPath)) {
        ThrowLayerError(SQLITE_CANTOPEN,
                        "es gibt sie nicht, und ohne Schreiben wird keine angelegt");
    }
    RefuseIfNotRegular(location.fullPath);
    if (IsJetFile(location.fullPath)) {
        ThrowLayerError(SQLITE_NOTADB,
                        "sie hat das alte Jet-Format und wird ohne Schreiben nicht umgewandelt");
    }
    db.OpenReadOnly(location.fullPath);
    try {
        CProjectRecord::CheckRows(db);
        CTplFileRecord::CheckRows(db);
    } catch (...) {
        db.Close();
        throw;
    }
}

DatabaseOpening CreateOrOpenDatabase(CDaoDatabase& db, CMessageService& messages,
                                     const DatabaseLocation& location,
                                     const std::function<void()>& beforeOpening,
                                     JetFileChoice jet) {
    if (!location.iniProblem.empty()) {
        ThrowLayerError(SQLITE_CANTOPEN, FormatMessage(MessageId::kIniUnreadable, location.iniPath,
                                                       location.iniProblem));
    }
    MakeDatabaseDirectory(location);
    if (beforeOpening) {
        beforeOpening();
    }
    DatabaseOpening opening = DatabaseOpening::kOpened;
    if (NothingAt(location.fullPath)) {
        messages.ShowNotice(MessageId::kNewDatabase, location.directory);
        // A Jet file moved aside by an earlier conversion, whose database
        // is gone: its projects would otherwise seem lost without a word.
        if (const std::optional<std::string> jetFile = JetFileBeside(location.fullPath)) {
            messages.ShowNotice(MessageId::kJetFileBesideNewDatabase, *jetFile, location.fullPath);
        }
        if (CreateDatabaseOnce(location.fullPath, MakeTables)) {
            opening = DatabaseOpening::kCreated;
        }
    } else {
        RefuseIfNotRegular(location.fullPath);
        if (IsJetFile(location.fullPath) && !ConvertJetFile(messages, location.fullPath, jet)) {
            return DatabaseOpening::kDeclined;
        }
    }
    db.Open(location.fullPath);
    try {
        CheckAndUpgrade(db);
    } catch (...) {
        db.Close();
        throw;
    }
    return opening;
}

}  // namespace pellandrix
