#include "cli/commands.h"

#include "cli/cli.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include "engine/generation_run.h"
#include "engine/run_status.h"
#include "store/table_base.h"
#include "store/tpl_file_list.h"

namespace pellandrix::cli {

namespace {

constexpr char kTab = '\t';

// The live project of that name, loaded with its files; null after an
// error message when there is none. The name is compared the way the store
// keeps it, so "Bob's Site" finds the project add-project stored as
// "Bobs Site".
CProjectRecord* OpenProject(CommandContext& c, const std::string& name) {
    c.core.Projects().LoadAll(c.core.Database());
    CProjectRecord* project = c.core.Projects().FindByName(CDaoTableBase::StoredText(name));
    if (project == nullptr) {
        c.core.Messages().ShowError(MessageId::kUnknownProject, name);
        return nullptr;
    }
    return c.core.LoadProjectFiles(project->ProjectId);
}

// A text that would be cut on its way into the database is refused, so
// that what is stored is what the user typed.
bool Fits(CommandContext& c, const std::string& text, std::size_t maxLength) {
    if (text.size() <= maxLength) {
        return true;
    }
    c.core.Messages().ShowError(MessageId::kTextTooLong, text, std::to_string(maxLength));
    return false;
}

// The store drops every apostrophe from the texts it writes. A file name,
// directory or extension stored without its apostrophe names another file,
// which generation would then miss, so such a value is refused.
bool StoredAsTyped(CommandContext& c, const std::string& text) {
    if (CDaoTableBase::StoredText(text) == text) {
        return true;
    }
    c.core.Messages().ShowError(MessageId::kApostropheInPath, text);
    return false;
}

// An extension given on the command line must be one the dialogs offer,
// when fileext.def offers any.
bool Offered(CommandContext& c, const std::string& ext) {
    const CFileExtList& list = c.core.Extensions();
    if (list.Empty()) {
        return true;
    }
    for (const CFileExtEntry& entry : list) {
        if (entry.name == ext) {
            return true;
        }
    }
    c.core.Messages().ShowError(MessageId::kExtensionNotOffered, ext);
    return false;
}

std::string FirstOffered(const CommandContext& c) {
    const CFileExtList& list = c.core.Extensions();
    return list.Empty() ? std::string() : list.First()->name.str();
}

bool IsFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

int ListProjects(CommandContext& c) {
    c.core.Projects().LoadAll(c.core.Database());
    for (const CProjectRecord& p : c.core.Projects().Records()) {
        if (!p.Deleted) {
            c.out << p.ProjectId << kTab << p.ProjectName.str() << kTab << p.SourcePath.str()
                  << kTab << p.TargetPath.str() << kTab << p.DefCreateFileExt.str() << '\n';
        }
    }
    return kExitOk;
}

int ListFiles(CommandContext& c, const CliOptions& o) {
    if (OpenProject(c, o.arguments[0]) == nullptr) {
        return kExitFailure;
    }
    for (const CTplFileRecord& f : c.core.Files().Records()) {
        if (!f.Deleted) {
            c.out << f.TPLFileId << kTab << f.TPLFileName.str() << kTab << f.Selected << kTab
                  << f.CreateFile << kTab << f.AlwaysParse << kTab << f.SourceFromProject << kTab
                  << f.TargetFromProject << kTab << f.CreateFileExt.str() << kTab
                  << f.SourcePath.str() << kTab << f.TargetPath.str() << '\n';
        }
    }
    return kExitOk;
}

int Generate(CommandContext& c, const CliOptions& o) {
    if (OpenProject(c, o.arguments[0]) == nullptr) {
        return kExitFailure;
    }
    CTemplateParser& parser = c.core.Parser();
    for (CTplFileRecord& f : parser.Files().Records()) {
        if (o.all && !f.Deleted) {
            f.Selected = 1;
        }
    }
    parser.SetView(&c.progress);
    RunGeneration(parser, c.progress);
    parser.SetView(nullptr);
    c.progress.Clear();
    for (const CTplFileRecord& f : parser.Files().Records()) {
        if (!f.Deleted) {
            c.out << RunStatusText(f.RunStatus) << kTab << f.TPLFileName.str() << '\n';
        }
    }
    return c.presenter.ErrorCount() > 0 ? kExitErrorsShown : kExitOk;
}

int AddProject(CommandContext& c, const CliOptions& o) {
    const std::string& name = o.arguments[0];
    const std::string source = o.source.value_or("");
    const std::string target = o.target.value_or("");
    const std::string ext = o.ext.value_or(FirstOffered(c));
    if (name.empty()) {
        c.core.Messages().ShowError(MessageId::kUsageError, "leerer Projektname");
        return kExitFailure;
    }
    if (!Fits(c, name, 49) || !Fits(c, source, 255) || !Fits(c, target, 255) || !Fits(c, ext, 21) ||
        (o.ext && !Offered(c, ext))) {
        return kExitFailure;
    }
    if (!StoredAsTyped(c, source) || !StoredAsTyped(c, target) || !StoredAsTyped(c, ext)) {
        return kExitFailure;
    }
    CProjectList& projects = c.core.Projects();
    projects.LoadAll(c.core.Database());
    CProjectRecord* project = projects.NewProject();
    project->ProjectName = name;
    project->SourcePath = source;
    project->TargetPath = target;
    project->DefCreateFileExt = ext;
    projects.SaveAll(c.core.Database());
    c.out << project->ProjectId << '\n';
    return kExitOk;
}

namespace {

// Checks the template file `path` and appends its record to the project's
// list, unsaved. Null after an error message, when it is refused.
CTplFileRecord* AppendFile(CommandContext& c, const CliOptions& o, const CProjectRecord& project,
                           const std::string& ext, const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    if (!IsFile(path)) {
        c.core.Messages().ShowError(MessageId::kTemplateNotFound, path);
        return nullptr;
    }
    if (!Fits(c, name, 255) || !Fits(c, dir, 255) || !Fits(c, o.target.value_or(""), 255) ||
        !Fits(c, ext, 19) || (o.ext && !Offered(c, ext))) {
        return nullptr;
    }
    if (!StoredAsTyped(c, name) || (o.ownSource && !StoredAsTyped(c, dir)) ||
        !StoredAsTyped(c, o.target.value_or("")) || !StoredAsTyped(c, ext)) {
        return nullptr;
    }
    // Also finds a file named twice in one call: it is in the list by now.
    const CTplFileRecord* same = c.core.Files().FindByName(name);
    if (same != nullptr && same->SourcePath == dir) {
        c.core.Messages().ShowError(MessageId::kFileAlreadyInProject, name,
                                    project.ProjectName.str());
        return nullptr;
    }
    CTplFileRecord* file = c.core.Files().NewFile();
    file->ProjectId = project.ProjectId;
    file->TPLFileName = name;
    file->Selected = o.select ? 1 : 0;
    file->CreateFile = o.noCreate ? 0 : 1;
    file->AlwaysParse = o.noAlwaysParse ? 0 : 1;
    file->SourceFromProject = o.ownSource ? 0 : 1;
    file->TargetFromProject = o.target ? 0 : 1;
    file->CreateFileExt = ext;
    file->SourcePath = o.ownSource ? dir : project.SourcePath.str();
    file->TargetPath = o.target ? *o.target : project.TargetPath.str();
    return file;
}

}  // namespace

int AddFile(CommandContext& c, const CliOptions& o) {
    CProjectRecord* project = OpenProject(c, o.arguments[0]);
    if (project == nullptr) {
        return kExitFailure;
    }
    std::string ext = o.ext.value_or(project->DefCreateFileExt.str());
    if (ext.empty()) {
        ext = FirstOffered(c);
    }
    // All files or none: the first one refused ends the command before
    // anything is saved. One save for all of them, since every save writes
    // the project's whole list.
    std::vector<const CTplFileRecord*> added;
    for (std::size_t i = 1; i < o.arguments.size(); ++i) {
        const CTplFileRecord* file = AppendFile(c, o, *project, ext, o.arguments[i]);
        if (file == nullptr) {
            return kExitFailure;
        }
        added.push_back(file);
    }
    c.core.Files().SaveAll(c.core.Database(), project->ProjectId);
    for (const CTplFileRecord* file : added) {
        c.out << file->TPLFileId << '\n';
    }
    return kExitOk;
}

}  // namespace pellandrix::cli
