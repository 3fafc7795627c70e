// pellandrix-cli watch: a --changed run, then one more whenever what the
// last run read has changed, driven by the watch loop.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <ctime>

#include "app/watch_loop.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "store/database_location.h"

namespace pellandrix::cli {

namespace {

// The signals that end the watch: each waits while the object lives, so
// that a run is never cut off in the middle of a page (leaving hidden
// temporary files behind); they are read from a descriptor between runs. A
// closed terminal (SIGHUP) and Ctrl+\ (SIGQUIT) end it as Ctrl+C does.
class Signals {
  public:
    Signals() {
        sigemptyset(&set_);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            sigaddset(&set_, signal);
        }
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

    // Waits up to `ms` (negative: for ever) for `fd` (when not negative) or
    // a signal. Returns false when a signal came.
    bool Wait(int fd, int ms) const {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {fd, POLLIN, 0}};
        ::poll(fds, fd >= 0 ? 2 : 1, ms);
        return !Pending();
    }
    bool Pending() const {
        sigset_t pending;
        ::sigpending(&pending);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            if (sigismember(&pending, signal) == 1) {
                return true;
            }
        }
        return false;
    }

  private:
    sigset_t set_;
    sigset_t old_;
    int fd_ = -1;
};

std::string Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

// The command's side of the loop: numbered runs printed as generate prints
// them, and the project read again from the database when it changed there.
class CliWatchHost : public IWatchHost {
  public:
    CliWatchHost(CommandContext& c, const CliOptions& o, const WatchHooks& hooks)
        : c_(c), o_(o), hooks_(hooks), database_(LocateDatabase().fullPath) {}

    RunInputs Run(const IUnchangedPaths& unchanged) override {
        if (hooks_.runBegins) {
            hooks_.runBegins();
        }
        c_.out << "Lauf " << ++number_ << " beginnt " << Now() << '\n' << std::flush;
        GenerateOptions options;
        options.all = o_.all;
        options.changed = true;
        options.inputs = true;
        options.unchanged = &unchanged;
        GenerateReport report;
        c_.session.Generate(c_.progress, options, &report);
        c_.progress.Clear();
        PrintStatuses(c_, nullptr);
        c_.out << std::flush;
        if (hooks_.runEnded) {
            hooks_.runEnded();
        }
        return std::move(report.inputs);
    }
    bool MayRun() override { return !gone_; }
    // The run's own writes touch the database's folder too; the project is
    // read again only when another program committed meanwhile.
    bool EntriesStale() override {
        const std::int64_t commits = c_.session.ForeignCommits();
        return commits < 0 || commits != readAt_;
    }
    void ReloadEntries() override {
        readAt_ = c_.session.ForeignCommits();
        if (Outcome opened = c_.session.Open(o_.arguments[0]); !opened) {
            gone_ = std::move(opened);
        }
    }
    std::string DatabaseFile() const override { return database_; }

    // The refusal when the project is no longer there.
    const std::optional<Outcome>& Gone() const { return gone_; }

  private:
    CommandContext& c_;
    const CliOptions& o_;
    const WatchHooks& hooks_;
    std::string database_;
    int number_ = 0;
    std::optional<Outcome> gone_;
    std::int64_t readAt_ = -1;  // ForeignCommits when last read
};

}  // namespace

int Watch(CommandContext& c, const CliOptions& o, const WatchHooks& hooks) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return Refused(c, opened);
    }
    const Signals signals;
    CliWatchHost host(c, o, hooks);
    CWatchLoop loop(host, c.session, c.messages, o.pollSeconds);
    if (Outcome started = loop.Start(); !started) {
        return Refused(c, started);
    }
    for (;;) {
        const int wake = loop.Step();
        if (host.Gone()) {
            return Refused(c, *host.Gone());
        }
        if (!signals.Wait(loop.Descriptor(), wake)) {
            return kExitOk;
        }
    }
}

}  // namespace pellandrix::cli
