#include "cli/commands.h"

#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/json_lines.h"
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

std::vector<StatusLine> StatusLines(const CProjectSession& session, const GenerateReport* report) {
    std::vector<StatusLine> lines;
    for (const CTplFileRecord& f : session.Files().Records()) {
        if (f.Deleted) {
            continue;
        }
        StatusLine line{f.TPLFileId, f.TPLFileName.str(), RunStatusText(f.RunStatus), {}};
        if (report != nullptr) {
            if (const auto reason = report->reasons.find(f.TPLFileId);
                reason != report->reasons.end()) {
                line.reason = reason->second;
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void PrintStatuses(CommandContext& c, const GenerateReport* report) {
    for (const StatusLine& line : StatusLines(c.session, report)) {
        c.out << line.status << kTab << line.name;
        if (report != nullptr) {
            c.out << kTab << line.reason.value_or("");
        }
        c.out << '\n';
    }
}

namespace {

std::string_view ActionText(PlannedChange::Kind kind) {
    return kind == PlannedChange::Kind::Write     ? "schreiben"
           : kind == PlannedChange::Kind::Replace ? "ersetzen"
                                                  : "löschen";
}

void PrintPlanned(CommandContext& c, const GenerateReport& report, bool json) {
    for (const PlannedChange& change : report.planned) {
        if (json) {
            WritePlannedJson(c.out, change, ActionText(change.kind));
        } else {
            c.out << ActionText(change.kind) << kTab << change.path << kTab << change.reason
                  << '\n';
        }
    }
}

// The run's messages as JSON objects on standard output, with their
// places whether or not the lines on standard error show them.
void SendMessagesAsJson(CommandContext& c, bool placesInLines) {
    c.presenter.SetPlaces([&c] { return c.session.RunPlace(); }, placesInLines);
    c.presenter.SetSink(
        [&c](MessageKind kind, const std::string& text, const std::vector<SourcePlace>& places) {
            WriteMessageJson(c.out, kind, text, places);
        });
}

}  // namespace

int Refused(CommandContext& c, const Outcome& outcome) {
    const Refusal& r = outcome.Refused();
    c.messages.ShowError(r.id, r.first, r.second);
    return kExitFailure;
}

int ListProjects(CommandContext& c, const CliOptions& o) {
    c.session.LoadProjects();
    for (const CProjectRecord& p : c.session.Projects().Records()) {
        if (p.Deleted) {
            continue;
        }
        if (o.json) {
            WriteProjectJson(c.out, p);
        } else {
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
        if (f.Deleted) {
            continue;
        }
        if (o.json) {
            WriteFileJson(c.out, f);
        } else {
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
    const RunRecordView record = c.session.LastRun();
    if (o.json) {
        WriteRecordJson(c.out, record);
    } else {
        c.out << RunRecordText(record);
    }
    return kExitOk;
}

int Generate(CommandContext& c, const CliOptions& o) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return Refused(c, opened);
    }
    if (o.json) {
        SendMessagesAsJson(c, o.locations);
    } else if (o.locations) {
        c.presenter.SetPlaces([&c] { return c.session.RunPlace(); });
    }
    GenerateReport report;
    c.session.Generate(c.progress, {o.all, o.changed, o.dryRun}, &report);
    c.presenter.SetPlaces(nullptr);
    c.presenter.SetSink(nullptr);
    c.progress.Clear();
    if (o.dryRun) {
        PrintPlanned(c, report, o.json);
    } else if (o.json) {
        // A program reading the objects gets the reasons without asking.
        for (const StatusLine& line : StatusLines(c.session, &report)) {
            WriteStatusJson(c.out, line);
        }
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
