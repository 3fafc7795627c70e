#include "cli/cli.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>

#include "app/app_core.h"
#include "app/project_session.h"
#include "cli/command_table.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/progress_view.h"
#include "cli/stream_presenter.h"
#include "store/dao_exception.h"
#include "support/stored_text.h"

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
        return FindCommand(o.command)->run(context, o);
    } catch (const CDaoException& e) {
        progress.Clear();
        core.Messages().ShowError(MessageId::kDatabaseError, e.Message());
        return kExitFailure;
    }
}

// Standard output's last writes happen as it is flushed; a full disk or a
// closed pipe shows only then, and a listing or text cut short must not
// pass for a whole one.
int FinishOutput(std::ostream& out, std::ostream& err, int status) {
    errno = 0;
    if (out.flush()) {
        return status;
    }
    return OutputFailed(err, errno, status);
}

}  // namespace

int OutputFailed(std::ostream& err, int error, int status) {
    err << FormatMessage(MessageId::kCannotWriteFile, kStandardOutput,
                         error != 0 ? std::strerror(error) : "Schreibfehler")
        << '\n';
    return status == kExitOk ? kExitErrorsShown : status;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal) {
    const ParseResult parsed = ParseCommandLine(args);
    if (parsed.options.help) {
        out << HelpText();
        return FinishOutput(out, err, kExitOk);
    }
    if (!parsed.error.empty()) {
        err << FormatMessage(MessageId::kUsageError, ShownText(parsed.error), "") << '\n';
        return kExitFailure;
    }
    DirectoryGuard guard;
    const CliOptions& o = parsed.options;
    if (!o.directory.empty() && ::chdir(o.directory.c_str()) != 0) {
        err << FormatMessage(MessageId::kNoSuchDirectory, ShownText(o.directory), "") << '\n';
        return kExitFailure;
    }
    try {
        return FinishOutput(out, err, StartAndRun(o, out, err, errIsTerminal));
    } catch (const std::exception& e) {
        // Out of memory or a broken stream: say so rather than die silently.
        err << FormatMessage(MessageId::kUnexpectedError, e.what(), "") << '\n';
        return kExitFailure;
    }
}

}  // namespace pellandrix::cli
