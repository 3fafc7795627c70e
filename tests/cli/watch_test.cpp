// pellandrix-cli watch as a separate process on real files and real
// inotify: each way an editor saves leads to exactly one run, a touch to
// none; files reached through links, entries added meanwhile and folders
// that cannot be watched are seen; no edit made during a run is lost; the
// ending signals wait for the run. Each wait is for an event (a line
// printed, a page written, the watcher reading a file), never for a time.
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "support/string_table.h"

extern char** environ;

namespace pellandrix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Child exit status: the system lets no user namespace be made here.
constexpr int kNoNamespace = 77;

// Polls `done` until it holds or half a minute has passed.
template <typename Fn>
bool Eventually(Fn done) {
    for (int i = 0; i < 600; ++i) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at) {
        ++n;
    }
    return n;
}

// A project "W": page.tpl includes part.tpl and inc/plain.txt.
struct Watched : testkit::CliFixture {
    pid_t pid = -1;

    Watched() {
        for (const char* folder : {"src", "out"}) {
            fs::create_directory(dir / folder);
        }
        Write("fileext.def", "html\r\n");
        Write("src/page.tpl",
              "#define X eins\n#include \"part.tpl\"\n#include \"inc/plain.txt\"\n");
        Write("src/part.tpl", "Teil X\n");
        Run({"add-project", "W", "--source", "src", "--target", "out"});
        Run({"add-file", "W", "src/part.tpl", "--no-create"});
        Run({"add-file", "W", "src/page.tpl", "--select"});
    }
    ~Watched() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    std::vector<std::string> Arguments(const std::vector<std::string>& extra) const {
        std::vector<std::string> args{PELLANDRIX_CLI_PATH, "-C", dir.Path().string(), "watch", "W"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    void Start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = Arguments(extra);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, (dir / "watch.out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&files, 2, (dir / "watch.err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_EQ(posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&files);
        ASSERT_TRUE(RunsEnded(1));
    }

    // Starts it in a user namespace of its own that allows it only
    // `watches` inotify watches. False when no such namespace can be made.
    bool StartLimited(int watches) {
        std::vector<std::string> args = Arguments({});
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const std::string uidMap = "0 " + std::to_string(::getuid()) + " 1";
        const std::string limit = std::to_string(watches);
        const std::string out = dir / "watch.out";
        const std::string err = dir / "watch.err";
        Write("watch.out", "");
        Write("watch.err", "");
        pid = ::fork();
        if (pid == 0) {
            const auto put = [](const char* path, const std::string& text) {
                const int fd = ::open(path, O_WRONLY);
                const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) ==
                                               static_cast<ssize_t>(text.size());
                if (fd >= 0) {
                    ::close(fd);
                }
                return ok;
            };
            if (::unshare(CLONE_NEWUSER) != 0 || !put("/proc/self/uid_map", uidMap) ||
                !put("/proc/sys/user/max_inotify_watches", limit)) {
                ::_exit(kNoNamespace);
            }
            ::dup2(::open(out.c_str(), O_WRONLY), 1);
            ::dup2(::open(err.c_str(), O_WRONLY), 2);
            ::execve(argv[0], argv.data(), environ);
            ::_exit(127);
        }
        if (!Eventually([&] { return Runs() >= 1 || Ended(); })) {
            return false;
        }
        if (Runs() == 0) {
            ::waitpid(pid, nullptr, 0);
            pid = -1;
            return false;
        }
        return RunsEnded(1);
    }
    // Whether the process has ended (and is reaped then).
    bool Ended() {
        if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
        }
        return pid <= 0;
    }

    std::string Output() const { return testkit::ReadBytes(dir / "watch.out"); }
    std::string Errors() const { return testkit::ReadBytes(dir / "watch.err"); }
    int Runs() const { return Count(Output(), "Lauf "); }
    bool RunsReach(int runs) {
        return Eventually([&] { return Runs() >= runs; });
    }
    // Whether `runs` runs have ended: each prints the page's status last.
    bool RunsEnded(int runs) {
        return Eventually([&] { return Count(Output(), "\tpage.tpl\n") >= runs; });
    }
    std::string Page() const { return testkit::ReadBytes(dir / "out/page.html"); }
    // Until the page reads `text` after run `runs` has ended.
    bool PageAfter(int runs, const std::string& text) {
        return Eventually(
            [&] { return Count(Output(), "\tpage.tpl\n") >= runs && Page() == text; });
    }
    // The hidden temporary files a cut-off run would leave in out/.
    int HiddenFiles() const {
        int hidden = 0;
        for (const auto& entry : fs::directory_iterator(dir / "out")) {
            hidden += entry.path().filename().string()[0] == '.' ? 1 : 0;
        }
        return hidden;
    }
    int Stop(int signal = SIGTERM) {
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// Sees the watcher open and close a file of `folder` for reading: the
// moment it looks at a file it was told of. Set up before the change.
class ReadsOf {
  public:
    explicit ReadsOf(const std::string& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        ::inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_NOWRITE);
    }
    ~ReadsOf() { ::close(fd_); }
    ReadsOf(const ReadsOf&) = delete;
    ReadsOf& operator=(const ReadsOf&) = delete;

    // Until `name` has been read (or half a minute has passed).
    bool Await(const std::string& name) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        alignas(inotify_event) char buffer[4096];
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd ready{fd_, POLLIN, 0};
            ::poll(&ready, 1, 1000);
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->len > 0 && name == event->name) {
                    return true;
                }
            }
        }
        return false;
    }

  private:
    int fd_;
};

TEST(Watch, EachWayOfSavingLeadsToOneRunAndATouchToNone) {
    Watched w;
    w.Start();
    EXPECT_EQ(w.Page(), "Teil eins\r\n");
    // The missing plain include's folder is reported once and watched
    // through its parent.
    EXPECT_EQ(w.Errors(), FormatMessage(MessageId::kWatchFolderMissing, "inc", "") + "\n");

    w.Write("src/part.tpl", "Teil X zwei\n");  // in place
    EXPECT_TRUE(w.PageAfter(2, "Teil eins zwei\r\n"));

    w.Write("src/.part.tpl.swp", "Teil X drei\n");  // a new file renamed over
    fs::rename(w.dir / "src/.part.tpl.swp", w.dir / "src/part.tpl");
    EXPECT_TRUE(w.PageAfter(3, "Teil eins drei\r\n"));

    fs::remove(w.dir / "src/part.tpl");  // deleted, then made again
    w.Write("src/part.tpl", "Teil X vier\n");
    EXPECT_TRUE(w.PageAfter(4, "Teil eins vier\r\n"));

    fs::resize_file(w.dir / "src/part.tpl", 0);  // cut, then written
    w.Write("src/part.tpl", "Teil X fünf\n");
    EXPECT_TRUE(w.PageAfter(5, "Teil eins fünf\r\n"));

    // Touched, and a file beside it written that no run reads: the watcher
    // looks at the template again and runs nothing.
    ReadsOf reads(w.dir / "src");
    fs::last_write_time(w.dir / "src/part.tpl", fs::file_time_type::clock::now());
    w.Write("src/page.tpl.bak", "not an input\n");
    ASSERT_TRUE(reads.Await("part.tpl"));

    fs::create_directory(w.dir / "inc");  // the missing folder comes, with the file
    w.Write("inc/plain.txt", "schlicht\n");
    EXPECT_TRUE(w.PageAfter(6, "Teil eins fünf\r\nschlicht\r\n"));
    EXPECT_EQ(w.Stop(), 0);
    EXPECT_EQ(w.Runs(), 6);
}

TEST(Watch, FilesReachedThroughLinksAndEntriesAddedMeanwhileAreSeen) {
    Watched w;
    // The part is a symbolic link into a folder of its own; the plain
    // include a hard link to a file elsewhere. Neither folder is the
    // project's.
    fs::create_directories(w.dir / "teile");
    fs::create_directories(w.dir / "inc");
    fs::create_directories(w.dir / "ablage");
    w.Write("teile/part.tpl", "Teil X\n");
    fs::remove(w.dir / "src/part.tpl");
    fs::create_symlink("../teile/part.tpl", w.dir / "src/part.tpl");
    w.Write("ablage/plain.txt", "schlicht\n");
    fs::create_hard_link(w.dir / "ablage/plain.txt", w.dir / "inc/plain.txt");
    w.Start();
    EXPECT_EQ(w.Page(), "Teil eins\r\nschlicht\r\n");

    w.Write("teile/part.tpl", "Teil X zwei\n");
    EXPECT_TRUE(w.PageAfter(2, "Teil eins zwei\r\nschlicht\r\n"));
    w.Write("ablage/plain.txt", "anders\n");
    EXPECT_TRUE(w.PageAfter(3, "Teil eins zwei\r\nanders\r\n"));

    // Another process adds an entry: its page is made without a change of
    // any file the last run read.
    w.Write("src/neu.tpl", "neu\n");
    ASSERT_EQ(w.Run({"add-file", "W", "src/neu.tpl", "--select"}), 0) << w.err;
    EXPECT_TRUE(Eventually([&] { return testkit::Exists(w.dir / "out/neu.html"); }));
    EXPECT_TRUE(w.RunsEnded(4));
    EXPECT_EQ(testkit::ReadBytes(w.dir / "out/neu.html"), "neu\r\n");
    EXPECT_EQ(w.Stop(), 0);
}

TEST(Watch, AFolderThatCannotBeWatchedIsReportedAndPolled) {
    Watched w;
    // One watch allowed: the project's folder (also the database's) gets
    // it, the source folder cannot have one.
    if (!w.StartLimited(1)) {
        GTEST_SKIP() << "no user namespace with a limit of inotify watches";
    }
    const std::string failed = FormatMessage(MessageId::kWatchFailed, "src", "");
    EXPECT_NE(w.Errors().find(failed.substr(0, failed.find('('))), std::string::npos) << w.Errors();
    w.Write("src/part.tpl", "Teil X zwei\n");
    EXPECT_TRUE(w.PageAfter(2, "Teil eins zwei\r\n"));
    EXPECT_EQ(w.Stop(), 0);
}

TEST(Watch, EditsDuringRunsAreNeverLostAndSigtermWaitsForTheRun) {
    Watched w;
    // A page big enough for a run to take a while.
    const std::string line = "Zeile mit X und noch etwas Text, damit die Seite groß wird\n";
    std::string big;
    while (big.size() < (30u << 20)) {
        big += line;
    }
    w.Write("src/part.tpl", big);
    w.Start();

    // Three saves, the later ones while a run goes on.
    w.Write("src/part.tpl", big + "A\n");
    ASSERT_TRUE(w.RunsReach(2));
    w.Write("src/page.tpl", "#define X zwei\n#include \"part.tpl\"\n");
    w.Write("src/part.tpl", big + "B\n");
    // The last run saw the last of each file's edits.
    ASSERT_TRUE(Eventually([&] {
        const std::string page = w.Page();
        return Count(w.Output(), "\tpage.tpl\n") == w.Runs() &&
               page.compare(0, 14, "Zeile mit zwei") == 0 && page.size() >= 3 &&
               page.compare(page.size() - 3, 3, "B\r\n") == 0;
    }));
    const std::string settled = w.Page();

    // SIGTERM in the middle of a run: the run ends, the page is whole. The
    // count is taken before the save: under load the run it starts may print
    // its start before the count would otherwise be read.
    // This save is written aside and renamed over: written in place, a
    // writer stalled past the quiet period under load would let the run
    // read half of it, and the stop leaves no later run to mend that.
    const int runsBefore = w.Runs();
    w.Write("src/.part.tpl.new", big + "C\n");
    fs::rename(w.dir / "src/.part.tpl.new", w.dir / "src/part.tpl");
    ASSERT_TRUE(w.RunsReach(runsBefore + 1));
    EXPECT_EQ(w.Stop(), 0);
    const std::string last = w.Page();
    EXPECT_TRUE(last == settled || last.compare(last.size() - 3, 3, "C\r\n") == 0) << last.size();
    EXPECT_EQ(w.HiddenFiles(), 0);
    // The first run and at most one per save.
    EXPECT_LE(w.Runs(), 1 + 4);
}

TEST(Watch, HangupAndQuitEndItAsSigtermDoes) {
    for (const int signal : {SIGHUP, SIGQUIT}) {
        Watched w;
        w.Start();
        w.Write("src/part.tpl", "Teil X zwei\n");
        ASSERT_TRUE(w.RunsReach(2));
        EXPECT_EQ(w.Stop(signal), 0) << signal;
        EXPECT_EQ(w.HiddenFiles(), 0);
    }
}

TEST(Watch, PollingMoreOftenThanATenthOfASecondIsRefused) {
    Watched w;
    EXPECT_EQ(w.Run({"watch", "W", "--poll", "0.05"}), 2);
    EXPECT_NE(w.err.find("--poll"), std::string::npos) << w.err;
    EXPECT_EQ(w.out, "");
}

}  // namespace
}  // namespace pellandrix
