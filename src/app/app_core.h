#pragma once

#include <string>

#include "engine/template_parser.h"
#include "store/dao_database.h"
#include "store/database_location.h"
#include "store/project_list.h"
#include "support/file_extensions.h"
#include "support/message_service.h"

namespace pellandrix {

// What the desktop program and the command-line program hold for a whole
// run: the message service, the project list, the current project's
// template files, the template parser that borrows them, the offered
// extensions and the open project database. Borrows the presenter, which
// must outlive it.
class CAppCore {
  public:
    explicit CAppCore(IMessagePresenter& presenter);
    CAppCore(const CAppCore&) = delete;
    CAppCore& operator=(const CAppCore&) = delete;

    // The start-up without windows, in the process's current directory:
    // locates the database (Pellandrix.ini), makes its directory if missing,
    // reads "fileext.def", then creates the database with its tables (after
    // notice 1) or opens it and brings its tables up to date. A database
    // file in the old Jet format is converted first, as `jet` says
    // (CreateOrOpenDatabase); kDeclined when the user chose not to, with no
    // database open. Engine errors leave as CDaoException; the database
    // file is then left as it was.
    DatabaseOpening StartUp(JetFileChoice jet = JetFileChoice::kAskFirst);
    // The start-up of a caller that must never write: locates the database
    // and opens it for reading only (OpenDatabaseReadOnly); the extension
    // list stays empty. Refusals leave as CDaoException.
    void StartUpReadOnly();

    // Makes `projectId` current: loads its template files into Files(),
    // numbering their ListRow 0, 1, ... in list order. Returns the project,
    // or null (and loads nothing) when no live project has that id.
    CProjectRecord* LoadProjectFiles(int projectId);

    CMessageService& Messages() { return messages_; }
    CDaoDatabase& Database() { return database_; }
    CProjectList& Projects() { return projects_; }
    CTemplateParser& Parser() { return parser_; }
    CTplFileList& Files() { return files_; }
    const CFileExtList& Extensions() const { return extensions_; }
    const DatabaseLocation& Location() const { return location_; }

  private:
    CMessageService messages_;
    CDaoDatabase database_;
    CProjectList projects_;
    CTplFileList files_;  // before the parser, which borrows it
    CTemplateParser parser_;
    CFileExtList extensions_;
    DatabaseLocation location_;
};

// Name of the extension definitions, looked for in the current directory.
inline constexpr const char* kExtensionFileName = "fileext.def";

}  // namespace pellandrix
