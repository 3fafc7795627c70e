#pragma once

#include <functional>
#include <ostream>
#include <vector>

#include "app/project_session.h"
#include "cli/json_lines.h"
#include "cli/options.h"
#include "cli/progress_view.h"
#include "cli/stream_presenter.h"

namespace pellandrix::cli {

// What a command works with: the started core's session and the output
// streams.
struct CommandContext {
    CProjectSession& session;
    CMessageService& messages;
    CStreamPresenter& presenter;
    CProgressView& progress;
    std::ostream& out;
    std::ostream& err;
};

// Shows a refusal as one line on standard error; returns the exit status
// of a refused command (2).
int Refused(CommandContext& c, const Outcome& outcome);

// What each live entry of the current project's list says after a run, in
// list order; with `report`, the reason each generated entry was.
std::vector<StatusLine> StatusLines(const CProjectSession& session, const GenerateReport* report);

// One line per StatusLine: status, tab, name; with `report`, a tab and the
// reason (empty when it was not generated).
void PrintStatuses(CommandContext& c, const GenerateReport* report);

// The commands. Each returns the exit status; engine errors leave as
// CDaoException for the caller to report.
int ListProjects(CommandContext& c, const CliOptions& o);
int ListFiles(CommandContext& c, const CliOptions& o);
// The project's run record (CProjectSession::LastRun) as RunRecordText
// puts it, or as JSON Lines.
int PrintRecord(CommandContext& c, const CliOptions& o);
int Generate(CommandContext& c, const CliOptions& o);
// What a loop like watch's tells beside its output lines: a run is about
// to begin; a run has ended and its status lines are written. Either may be
// empty.
struct WatchHooks {
    std::function<void()> runBegins;
    std::function<void()> runEnded;
};
// Runs like generate --changed, then again whenever a file the last run
// read has changed, until SIGINT or SIGTERM (exit status 0).
int Watch(CommandContext& c, const CliOptions& o, const WatchHooks& hooks = {});
// Watch, with the live preview of the target folders served beside it.
int Serve(CommandContext& c, const CliOptions& o);
int AddProject(CommandContext& c, const CliOptions& o);
int AddFile(CommandContext& c, const CliOptions& o);
int ExportProject(CommandContext& c, const CliOptions& o);
int ImportProject(CommandContext& c, const CliOptions& o);
// Lists the findings of CProjectSession::Check, one "file:line: text" line
// each; 1 when one of them is not settled.
int CheckSite(CommandContext& c, const CliOptions& o);
// Change or remove entries and projects through the session's verbs, each
// as one transaction: a refusal (exit status 2) changes nothing.
int SetFileCommand(CommandContext& c, const CliOptions& o);
int RemoveFileCommand(CommandContext& c, const CliOptions& o);
int SetProjectCommand(CommandContext& c, const CliOptions& o);
int RemoveProjectCommand(CommandContext& c, const CliOptions& o);

}  // namespace pellandrix::cli
