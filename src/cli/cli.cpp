#include "cli/cli.h"

#include <unistd.h>

#include <exception>
#include <filesystem>

#include "app/app_core.h"
#include "app/project_session.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/progress_view.h"
#include "cli/stream_presenter.h"
#include "store/dao_exception.h"

namespace pellandrix::cli {

namespace {

// -C changes the process's directory; an in-process caller (the tests) gets
// its own directory back when the command ends.
class DirectoryGuard {
  public:
    DirectoryGuard() {
        std::error_code error;
        previous_ = std::filesystem::current_path(error);
    }
    ~DirectoryGuard() {
        std::error_code ignored;
        if (!previous_.empty()) {
            std::filesystem::current_path(previous_, ignored);
        }
    }
    DirectoryGuard(const DirectoryGuard&) = delete;
    DirectoryGuard& operator=(const DirectoryGuard&) = delete;

  private:
    std::filesystem::path previous_;
};

int Dispatch(CommandContext& c, const CliOptions& o) {
    if (o.command == "projects") {
        return ListProjects(c);
    }
    if (o.command == "files") {
        return ListFiles(c, o);
    }
    if (o.command == "generate") {
        return Generate(c, o);
    }
    if (o.command == "watch") {
        return Watch(c, o);
    }
    if (o.command == "add-project") {
        return AddProject(c, o);
    }
    if (o.command == "export") {
        return ExportProject(c, o);
    }
    if (o.command == "import") {
        return ImportProject(c, o);
    }
    if (o.command == "check") {
        return CheckSite(c, o);
    }
    return AddFile(c, o);
}

int StartAndRun(const CliOptions& o, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    CStreamPresenter presenter(err);
    CProgressView progress(err, errIsTerminal);
    presenter.SetBeforeLine([&progress] { progress.Clear(); });
    CAppCore core(presenter);
    try {
        if (o.readOnly) {
            core.StartUpReadOnly();
        } else {
            // No one to ask: an old Jet database is converted, and a
            // notice says where the old file went.
            core.StartUp(JetFileChoice::kConvertWithNotice);
        }
    } catch (const CDaoException& e) {
        core.Messages().ShowError(MessageId::kDatabaseFailed, core.Location().fullPath,
                                  e.Message());
        return kExitFailure;
    }
    CProjectSession session(core);
    CommandContext context{session, core.Messages(), presenter, progress, out, err};
    try {
        return Dispatch(context, o);
    } catch (const CDaoException& e) {
        progress.Clear();
        core.Messages().ShowError(MessageId::kDatabaseError, e.Message());
        return kExitFailure;
    }
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal) {
    const ParseResult parsed = ParseCommandLine(args);
    if (parsed.options.help) {
        out << HelpText();
        return kExitOk;
    }
    if (!parsed.error.empty()) {
        err << FormatMessage(MessageId::kUsageError, parsed.error, "") << '\n';
        return kExitFailure;
    }
    DirectoryGuard guard;
    const CliOptions& o = parsed.options;
    if (!o.directory.empty() && ::chdir(o.directory.c_str()) != 0) {
        err << FormatMessage(MessageId::kNoSuchDirectory, o.directory, "") << '\n';
        return kExitFailure;
    }
    try {
        return StartAndRun(o, out, err, errIsTerminal);
    } catch (const std::exception& e) {
        // Out of memory or a broken stream: say so rather than die silently.
        err << FormatMessage(MessageId::kUnexpectedError, e.what(), "") << '\n';
        return kExitFailure;
    }
}

}  // namespace pellandrix::cli
