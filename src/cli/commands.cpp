#include "cli/commands.h"

#include <string>
#include <vector>

#include "cli/cli.h"
#include "engine/run_status.h"

namespace pellandrix::cli {

namespace {

constexpr char kTab = '\t';

// The settings every file named on the command line takes; the session
// splits each path and fills in what the options leave open.
FileSettings AddedFileSettings(const CliOptions& o) {
    FileSettings file;
    file.selected = o.select;
    file.createFile = !o.noCreate;
    file.alwaysParse = !o.noAlwaysParse;
    file.sourceFromProject = !o.ownSource;
    file.targetFromProject = !o.target;
    file.extension = o.ext.value_or("");
    file.targetPath = o.target.value_or("");
    return file;
}

// Reads the project, adds every file named (all or none) and saves: one
// save for all of them, since every save writes the project's whole list.
Outcome AddFiles(CommandContext& c, const CliOptions& o, std::vector<CTplFileRecord*>& added) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return opened;
    }
    const std::vector<std::string> paths(o.arguments.begin() + 1, o.arguments.end());
    if (Outcome accepted = c.session.AddTemplatePaths(paths, AddedFileSettings(o), false, &added);
        !accepted) {
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

int ListProjects(CommandContext& c, const CliOptions& /*o*/) {
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
                                   o.ext.value_or("")};
    int id = 0;
    if (const Outcome created = c.session.AddProject(settings, &id); !created) {
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
