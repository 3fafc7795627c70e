// What the watch loop vouches for to the runs it starts, on real files,
// real inotify and a real database: only paths whose folder was watched
// since before the previous run began and that no event named since; the
// run's target folders are watched too, so that a page deleted or edited by
// hand is looked at (and written again) by the next run. Each wait is for
// the loop's descriptor or the time the loop asks for, never a fixed time.
#include "app/watch_vouch.h"

#include <poll.h>

#include <gtest/gtest.h>
#include <chrono>
#include <filesystem>
#include <map>

#include "app/project_session.h"
#include "app/watch_loop.h"
#include "testkit/files.h"
#include "testkit/recording_presenter.h"
#include "testkit/temp_dir.h"
#include "testkit/web_project.h"

namespace pellandrix {
namespace {

namespace fs = std::filesystem;

// Runs as the command does, and notes what the loop vouched for of `probes`
// at the start of each run; `afterRun` acts right after the run has read.
struct VouchingHost : IWatchHost {
    CProjectSession& session;
    std::vector<std::string> probes;
    std::vector<std::map<std::string, bool>> vouched;  // one per run
    std::function<void()> afterRun;
    struct : IRunView {
        void RefreshRowStatus(int) override {}
        void SetProgressRange(int, int) override {}
        void SetProgressPos(int) override {}
    } view;

    explicit VouchingHost(CProjectSession& s) : session(s) {}
    RunInputs Run(const IUnchangedPaths& unchanged) override {
        std::map<std::string, bool>& run = vouched.emplace_back();
        for (const std::string& path : probes) {
            run[path] = unchanged.Unchanged(path);
        }
        GenerateOptions options;
        options.changed = true;
        options.inputs = true;
        options.unchanged = &unchanged;
        GenerateReport report;
        session.Generate(view, options, &report);
        if (afterRun) {
            afterRun();
        }
        return std::move(report.inputs);
    }
    int Runs() const { return static_cast<int>(vouched.size()); }
};

// Project "Web": src/a.tpl and src/b.tpl make out/a.html and out/b.html;
// b includes inc/plain.txt once `WithInclude` has been called.
struct WatchVouch : ::testing::Test {
    void SetUp() override {
        testkit::WriteBytes(dir / "fileext.def", "html\r\n");
        for (const char* folder : {"src", "out", "inc"}) {
            fs::create_directory(dir / folder);
        }
        testkit::WriteBytes(dir / "src/a.tpl", "a\n");
        testkit::WriteBytes(dir / "src/b.tpl", "b\n");
        ASSERT_TRUE(testkit::StartWithWebProject(core, session));
        ASSERT_TRUE(session.AddTemplateFiles({File("a.tpl"), File("b.tpl")}, false));
        session.Save();
        session.SelectAll();
        host.probes = {"src/a.tpl", "out/a.html", "inc/plain.txt"};
        ASSERT_TRUE(loop.Start());
    }

    static FileSettings File(const std::string& name) {
        FileSettings file;
        file.name = name;
        file.sourcePath = "src";
        file.extension = "html";
        return file;
    }

    // Steps the loop until it has started `runs` runs in all.
    bool RunsReach(int runs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (host.Runs() < runs && std::chrono::steady_clock::now() < deadline) {
            const int wake = loop.Step();
            if (host.Runs() >= runs) {
                break;
            }
            pollfd ready{loop.Descriptor(), POLLIN, 0};
            ::poll(&ready, 1, wake < 0 ? 1000 : wake);
        }
        return host.Runs() >= runs;
    }
    // Saves b.tpl anew, which starts a run.
    bool SaveB(int runs) {
        testkit::WriteBytes(dir / "src/b.tpl", "b " + std::to_string(runs) + "\n");
        return RunsReach(runs);
    }
    bool Vouched(int run, const std::string& path) const {
        return host.vouched.at(run - 1).at(path);
    }

    testkit::TempDir dir;
    testkit::ScopedCurrentDir cd{dir.Path()};
    testkit::RecordingPresenter presenter;
    CAppCore core{presenter};
    CProjectSession session{core};
    VouchingHost host{session};
    CWatchLoop loop{host, session, core.Messages()};
};

TEST_F(WatchVouch, APageDeletedOrEditedByHandIsNotVouchedForAndTheNextRunWritesItAgain) {
    ASSERT_TRUE(RunsReach(1));
    EXPECT_FALSE(Vouched(1, "src/a.tpl"));  // the first run vouches for nothing
    // The first run wrote a.html: the second cannot vouch for it yet.
    ASSERT_TRUE(SaveB(2));
    EXPECT_TRUE(Vouched(2, "src/a.tpl"));
    EXPECT_FALSE(Vouched(2, "out/a.html"));
    // Nothing touched the page since: the target folder is watched.
    ASSERT_TRUE(SaveB(3));
    EXPECT_TRUE(Vouched(3, "out/a.html"));

    fs::remove(dir / "out/a.html");
    ASSERT_TRUE(SaveB(4));
    EXPECT_FALSE(Vouched(4, "out/a.html"));
    EXPECT_EQ(testkit::ReadBytes(dir / "out/a.html"), "a\r\n");

    testkit::WriteBytes(dir / "out/a.html", "von Hand\n");
    ASSERT_TRUE(SaveB(5));
    EXPECT_FALSE(Vouched(5, "out/a.html"));
    EXPECT_EQ(testkit::ReadBytes(dir / "out/a.html"), "a\r\n");
}

TEST_F(WatchVouch, AFileInAFolderWatchedOnlySinceThePreviousRunBeganIsNotVouchedFor) {
    ASSERT_TRUE(RunsReach(1));
    // b starts to include a file of a folder no run has read; right after
    // the run that reads it first, before its folder is watched, the file
    // changes: no event tells of that.
    testkit::WriteBytes(dir / "inc/plain.txt", "eins\n");
    host.afterRun = [this] {
        host.afterRun = nullptr;
        testkit::WriteBytes(dir / "inc/plain.txt", "zwei\n");
    };
    testkit::WriteBytes(dir / "src/b.tpl", "#include \"inc/plain.txt\"\n");
    ASSERT_TRUE(RunsReach(2));
    // The loop runs again on its own: its look at what it could not watch
    // finds the change.
    ASSERT_TRUE(RunsReach(3));
    EXPECT_FALSE(Vouched(3, "inc/plain.txt"));
    EXPECT_EQ(testkit::ReadBytes(dir / "out/b.html"), "zwei\r\n");
    // Watched since before the third run began, and untouched since then.
    ASSERT_TRUE(SaveB(4));
    EXPECT_TRUE(Vouched(4, "inc/plain.txt"));
}

// A run told that a page's own template is untouched must still write the
// page again when a file the template includes changed.
TEST_F(WatchVouch, APageWhoseIncludeChangedIsWrittenAgainThoughItsTemplateIsVouchedFor) {
    testkit::WriteBytes(dir / "inc/plain.txt", "eins\n");
    testkit::WriteBytes(dir / "src/b.tpl", "#include \"inc/plain.txt\"\n");
    host.probes.push_back("src/b.tpl");
    ASSERT_TRUE(RunsReach(1));
    // Two saves of a: after them every folder has been watched since before
    // the previous run began.
    for (int run = 2; run <= 3; ++run) {
        testkit::WriteBytes(dir / "src/a.tpl", "a " + std::to_string(run) + "\n");
        ASSERT_TRUE(RunsReach(run));
    }
    testkit::WriteBytes(dir / "inc/plain.txt", "zwei\n");
    ASSERT_TRUE(RunsReach(4));
    EXPECT_TRUE(Vouched(4, "src/b.tpl"));
    EXPECT_FALSE(Vouched(4, "inc/plain.txt"));
    EXPECT_EQ(testkit::ReadBytes(dir / "out/b.html"), "zwei\r\n");
}

}  // namespace
}  // namespace pellandrix
