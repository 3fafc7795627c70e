// pellandrix-cli watch as a separate process on real files and real
// inotify: each way an editor saves leads to exactly one run, a touch to
// none; a change during a run to one more; SIGTERM ends it after the run.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
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

    void Start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{PELLANDRIX_CLI_PATH, "-C", dir.Path().string(), "watch", "W"};
        args.insert(args.end(), extra.begin(), extra.end());
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
        ASSERT_TRUE(RunsReach(1));
        // The first run's end, and the watch set up behind it.
        ASSERT_TRUE(Eventually([&] { return Output().find("page.tpl") != std::string::npos; }));
        std::this_thread::sleep_for(200ms);
    }

    std::string Output() const { return testkit::ReadBytes(dir / "watch.out"); }
    std::string Errors() const { return testkit::ReadBytes(dir / "watch.err"); }
    int Runs() const {
        const std::string out = Output();
        int runs = 0;
        for (std::size_t at = 0; (at = out.find("Lauf ", at)) != std::string::npos; ++at) {
            ++runs;
        }
        return runs;
    }
    template <typename Fn>
    static bool Eventually(Fn done) {
        for (int i = 0; i < 600; ++i) {
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }
    bool RunsReach(int runs) {
        return Eventually([&] { return Runs() >= runs; });
    }
    // Whether `runs` runs have ended: each prints the page's status last.
    bool RunsEnded(int runs) {
        return Eventually([&] {
            const std::string out = Output();
            int ended = 0;
            for (std::size_t at = 0; (at = out.find("\tpage.tpl\n", at)) != std::string::npos;
                 ++at) {
                ++ended;
            }
            return ended >= runs;
        });
    }
    // The runs once `expected` have started (or a while has passed), and
    // long enough after for one more to have started, had one been due.
    int Settled(int expected) {
        RunsReach(expected);
        std::this_thread::sleep_for(500ms);
        return Runs();
    }
    std::string Page() const { return testkit::ReadBytes(dir / "out/page.html"); }
    int Stop() {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST(Watch, EachWayOfSavingLeadsToOneRunAndATouchToNone) {
    Watched w;
    w.Start();
    EXPECT_EQ(w.Runs(), 1);
    EXPECT_EQ(w.Page(), "Teil eins\r\n");
    // The missing plain include's folder is reported once and watched
    // through its parent.
    EXPECT_EQ(w.Errors(), FormatMessage(MessageId::kWatchFolderMissing, "inc", "") + "\n");

    w.Write("src/part.tpl", "Teil X zwei\n");  // in place
    EXPECT_EQ(w.Settled(2), 2);
    EXPECT_EQ(w.Page(), "Teil eins zwei\r\n");

    w.Write("src/.part.tpl.swp", "Teil X drei\n");  // a new file renamed over
    fs::rename(w.dir / "src/.part.tpl.swp", w.dir / "src/part.tpl");
    EXPECT_EQ(w.Settled(3), 3);
    EXPECT_EQ(w.Page(), "Teil eins drei\r\n");

    fs::remove(w.dir / "src/part.tpl");  // deleted, then made again
    w.Write("src/part.tpl", "Teil X vier\n");
    EXPECT_EQ(w.Settled(4), 4);

    fs::resize_file(w.dir / "src/part.tpl", 0);  // cut, then written
    w.Write("src/part.tpl", "Teil X fünf\n");
    EXPECT_EQ(w.Settled(5), 5);
    EXPECT_EQ(w.Page(), "Teil eins fünf\r\n");

    fs::last_write_time(w.dir / "src/part.tpl", fs::file_time_type::clock::now());  // touched
    w.Write("src/page.tpl.bak", "not an input\n");
    EXPECT_EQ(w.Settled(5), 5);

    fs::create_directory(w.dir / "inc");  // the missing folder comes, with the file
    w.Write("inc/plain.txt", "schlicht\n");
    EXPECT_EQ(w.Settled(6), 6);
    EXPECT_EQ(w.Page(), "Teil eins fünf\r\nschlicht\r\n");
    EXPECT_EQ(w.Stop(), 0);
}

TEST(Watch, AChangeDuringARunLeadsToOneMoreAndSigtermWaitsForTheRun) {
    Watched w;
    // A page big enough for a run to take a while.
    const std::string line = "Zeile mit X und noch etwas Text, damit die Seite groß wird\n";
    std::string big;
    while (big.size() < (30u << 20)) {
        big += line;
    }
    w.Write("src/part.tpl", big);
    w.Start();

    w.Write("src/part.tpl", big + "A\n");
    ASSERT_TRUE(w.RunsReach(2));
    w.Write("src/page.tpl", "#define X zwei\n#include \"part.tpl\"\n");
    EXPECT_EQ(w.Settled(3), 3);
    ASSERT_TRUE(w.RunsEnded(3));
    const std::string third = w.Page();
    EXPECT_EQ(third.substr(0, 9), "Zeile mit");
    EXPECT_NE(third.find("zwei"), std::string::npos);

    // SIGTERM in the middle of a run: the run ends, the page is whole.
    w.Write("src/part.tpl", big + "B\n");
    ASSERT_TRUE(w.RunsReach(4));
    EXPECT_EQ(w.Stop(), 0);
    const std::string last = w.Page();
    EXPECT_TRUE(last == third || last.find("B\r\n") == last.size() - 3) << last.size();
}

}  // namespace
}  // namespace pellandrix
