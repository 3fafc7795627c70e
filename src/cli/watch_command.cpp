// pellandrix-cli watch: a --changed run, then one more whenever a file the
// last run read has changed.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

#include "app/watch_inputs.h"
#include "cli/cli.h"
#include "cli/commands.h"

namespace pellandrix::cli {

namespace {

// Quiet after a change before the run starts: an editor's write-and-rename
// (or delete-and-create) then counts once.
constexpr int kQuietMs = 100;

// SIGINT and SIGTERM wait while it lives, so that a run is never cut off in
// the middle of a page; they are read from a descriptor between runs.
class Signals {
  public:
    Signals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        ::sigprocmask(SIG_BLOCK, &set_, &old_);
        fd_ = ::signalfd(-1, &set_, SFD_NONBLOCK | SFD_CLOEXEC);
    }
    ~Signals() {
        // The signal that ended the watch has been answered (exit status
        // 0); taken here, it does not end the process on unblocking.
        if (fd_ >= 0) {
            signalfd_siginfo info;
            while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            }
            ::close(fd_);
        }
        ::sigprocmask(SIG_SETMASK, &old_, nullptr);
    }
    Signals(const Signals&) = delete;
    Signals& operator=(const Signals&) = delete;

    int Descriptor() const { return fd_; }
    bool Pending() const {
        sigset_t pending;
        ::sigpending(&pending);
        return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1;
    }

  private:
    sigset_t set_;
    sigset_t old_;
    int fd_ = -1;
};

// Waits up to `ms` (negative: for ever) for `fd` or a signal. Returns false
// when a signal came.
bool Wait(const Signals& signals, int fd, int ms, bool* ready) {
    pollfd fds[2] = {{signals.Descriptor(), POLLIN, 0}, {fd, POLLIN, 0}};
    const int n = ::poll(fds, fd >= 0 ? 2 : 1, ms);
    *ready = n > 0 && fd >= 0 && (fds[1].revents & POLLIN) != 0;
    return !signals.Pending();
}

std::string Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

RunInputs RunOnce(CommandContext& c, const CliOptions& o, const WatchHooks& hooks, int number) {
    if (hooks.runBegins) {
        hooks.runBegins();
    }
    c.out << "Lauf " << number << " beginnt " << Now() << '\n' << std::flush;
    GenerateOptions options;
    options.all = o.all;
    options.changed = true;
    options.inputs = true;
    GenerateReport report;
    c.session.Generate(c.progress, options, &report);
    c.progress.Clear();
    PrintStatuses(c, nullptr);
    c.out << std::flush;
    if (hooks.runEnded) {
        hooks.runEnded();
    }
    return std::move(report.inputs);
}

// Watches the folders of what the run read; reports each folder that went
// missing once. True when one came back.
bool Rewatch(CommandContext& c, CFolderWatch& watch, const RunInputs& inputs) {
    bool cameBack = false;
    for (const std::string& folder :
         watch.WatchFolders(FoldersToWatch(inputs, c.session.Files()), nullptr, &cameBack)) {
        c.messages.ShowNotice(MessageId::kWatchFolderMissing, folder);
    }
    return cameBack;
}

// Until a file the run read has changed (true) or a signal came (false),
// with inotify.
bool AwaitChange(CommandContext& c, CFolderWatch& watch, const Signals& signals,
                 const RunInputs& inputs) {
    const CFolderWatch::Touched everything{{}, true};
    Rewatch(c, watch, inputs);
    // What changed before the watch stood (during the run) is found by
    // looking at every file once.
    watch.Drain();
    if (InputsChanged(inputs, everything)) {
        return true;
    }
    for (;;) {
        bool ready = false;
        if (!Wait(signals, watch.Descriptor(), -1, &ready)) {
            return false;
        }
        CFolderWatch::Touched touched = watch.Drain();
        while (ready) {
            if (!Wait(signals, watch.Descriptor(), kQuietMs, &ready)) {
                return false;
            }
            const CFolderWatch::Touched more = watch.Drain();
            touched.paths.insert(more.paths.begin(), more.paths.end());
            touched.everything = touched.everything || more.everything;
        }
        touched.everything = Rewatch(c, watch, inputs) || touched.everything;
        if (InputsChanged(inputs, touched)) {
            return true;
        }
    }
}

// The same by reading every file every `seconds`.
bool PollForChange(const Signals& signals, double seconds, const RunInputs& inputs) {
    const CFolderWatch::Touched everything{{}, true};
    const int ms = static_cast<int>(std::lround(seconds * 1000));
    for (;;) {
        bool ready = false;
        if (!Wait(signals, -1, ms, &ready)) {
            return false;
        }
        if (InputsChanged(inputs, everything)) {
            return true;
        }
    }
}

}  // namespace

int Watch(CommandContext& c, const CliOptions& o, const WatchHooks& hooks) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return Refused(c, opened);
    }
    const Signals signals;
    CFolderWatch watch;
    if (!o.pollSeconds && !watch.Ok()) {
        c.messages.ShowError(MessageId::kWatchUnavailable, std::strerror(errno));
        return kExitFailure;
    }
    for (int number = 1;; ++number) {
        const RunInputs inputs = RunOnce(c, o, hooks, number);
        if (signals.Pending()) {
            return kExitOk;
        }
        if (inputs.changedDuringRun) {
            continue;
        }
        const bool changed = o.pollSeconds ? PollForChange(signals, *o.pollSeconds, inputs)
                                           : AwaitChange(c, watch, signals, inputs);
        if (!changed) {
            return kExitOk;
        }
    }
}

}  // namespace pellandrix::cli
