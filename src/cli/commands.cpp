#include "cli/commands.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include "cli/cli.h"
#include "engine/run_status.h"

namespace pellandrix::cli {

namespace {

constexpr char kTab = '\t';

std::string FirstOffered(const CommandContext& c) {
    const CFileExtList& list = c.session.Extensions();
    return list.Empty() ? std::string() : list.First()->name.str();
}

// The settings of one file named on the command line: `path` split into
// the template's name and the folder it was found in.
FileSettings FileFromPath(const CliOptions& o, const std::string& ext, const std::string& path) {
    const std::size_t slash = path.rfind('/');
    FileSettings file;
    file.name = slash == std::string::npos ? path : path.substr(slash + 1);
    file.sourcePath = slash == std::string::npos ? "." : path.substr(0, slash);
    file.selected = o.select;
    file.createFile = !o.noCreate;
    file.alwaysParse = !o.noAlwaysParse;
    file.sourceFromProject = !o.ownSource;
    file.targetFromProject = !o.target;
    file.extension = ext;
    file.targetPath = o.target.value_or("");
    return file;
}

bool IsFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Reads the project, adds every file named (all or none) and saves: one
// save for all of them, since every save writes the project's whole list.
Outcome AddFiles(CommandContext& c, const CliOptions& o, std::vector<CTplFileRecord*>& added) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return opened;
    }
    std::string ext = o.ext.value_or(c.session.Current()->DefCreateFileExt.str());
    if (ext.empty()) {
        ext = FirstOffered(c);
    }
    std::vector<FileSettings> files;
    for (std::size_t i = 1; i < o.arguments.size(); ++i) {
        // A template must exist when it is added; named as the user typed it.
        if (!IsFile(o.arguments[i])) {
            return Outcome::Refuse(MessageId::kTemplateNotFound, o.arguments[i]);
        }
        files.push_back(FileFromPath(o, ext, o.arguments[i]));
    }
    if (Outcome accepted = c.session.AddTemplateFiles(files, false, &added); !accepted) {
        return accepted;
    }
    c.session.SaveFiles();
    return {};
}

}  // namespace

void PrintStatuses(CommandContext& c, const GenerateReport* report) {
    for (const CTplFileRecord& f : c.session.Files().Records()) {
        if (f.Deleted) {
            continue;
        }
        c.out << RunStatusText(f.RunStatus) << kTab << f.TPLFileName.str();
        if (report != nullptr) {
            const auto reason = report->reasons.find(f.TPLFileId);
            c.out << kTab << (reason != report->reasons.end() ? reason->second : "");
        }
        c.out << '\n';
    }
}

namespace {

void PrintPlanned(CommandContext& c, const GenerateReport& report) {
    for (const PlannedChange& change : report.planned) {
        const char* action = change.kind == PlannedChange::Kind::Write     ? "schreiben"
                             : change.kind == PlannedChange::Kind::Replace ? "ersetzen"
                                                                           : "löschen";
        c.out << action << kTab << change.path << kTab << change.reason << '\n';
    }
}

}  // namespace

int Refused(CommandContext& c, const Outcome& outcome) {
    const Refusal& r = outcome.Refused();
    c.messages.ShowError(r.id, r.first, r.second);
    return kExitFailure;
}

int ListProjects(CommandContext& c) {
    c.session.LoadProjects();
    for (const CProjectRecord& p : c.session.Projects().Records()) {
        if (!p.Deleted) {
            c.out << p.ProjectId << kTab << p.ProjectName.str() << kTab << p.SourcePath.str()
                  << kTab << p.TargetPath.str() << kTab << p.DefCreateFileExt.str() << '\n';
        }
    }
    return kExitOk;
}

int ListFiles(CommandContext& c, const CliOptions& o) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return Refused(c, opened);
    }
    for (const CTplFileRecord& f : c.session.Files().Records()) {
        if (!f.Deleted) {
            c.out << f.TPLFileId << kTab << f.TPLFileName.str() << kTab << f.Selected << kTab
                  << f.CreateFile << kTab << f.AlwaysParse << kTab << f.SourceFromProject << kTab
                  << f.TargetFromProject << kTab << f.CreateFileExt.str() << kTab
                  << f.SourcePath.str() << kTab << f.TargetPath.str() << '\n';
        }
    }
    return kExitOk;
}

int PrintRecord(CommandContext& c, const CliOptions& o) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return Refused(c, opened);
    }
    c.out << c.session.LastRunText();
    return kExitOk;
}

int Generate(CommandContext& c, const CliOptions& o) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return Refused(c, opened);
    }
    if (o.locations) {
        c.presenter.SetPlaces([&c] { return c.session.RunPlace(); });
    }
    GenerateReport report;
    c.session.Generate(c.progress, {o.all, o.changed, o.dryRun}, &report);
    c.presenter.SetPlaces(nullptr);
    c.progress.Clear();
    if (o.dryRun) {
        PrintPlanned(c, report);
    } else {
        PrintStatuses(c, o.explain ? &report : nullptr);
    }
    return c.presenter.ErrorCount() > 0 ? kExitErrorsShown : kExitOk;
}

int AddProject(CommandContext& c, const CliOptions& o) {
    const ProjectSettings settings{o.arguments[0], o.source.value_or(""), o.target.value_or(""),
                                   o.ext.value_or(FirstOffered(c))};
    int id = 0;
    // Read, add and save as one unit, so that a second process adding at
    // the same moment neither loses its row nor gets the same id.
    const Outcome created = c.session.Atomically([&] {
        c.session.LoadProjects();
        return c.session.NewProject([&] { return std::optional<std::string>(settings.name); },
                                    [&](CProjectRecord& project) {
                                        return c.session.ApplyProjectSettings(project, settings);
                                    },
                                    &id);
    });
    if (!created) {
        return Refused(c, created);
    }
    c.out << id << '\n';
    return kExitOk;
}

int AddFile(CommandContext& c, const CliOptions& o) {
    std::vector<CTplFileRecord*> added;
    const Outcome outcome = c.session.Atomically([&] { return AddFiles(c, o, added); });
    if (!outcome) {
        return Refused(c, outcome);
    }
    for (const CTplFileRecord* file : added) {
        c.out << file->TPLFileId << '\n';
    }
    return kExitOk;
}

}  // namespace pellandrix::cli
