// A process killed with SIGKILL in the middle of saving a project of 10,000
// template files: on the next start the database must pass integrity_check
// and hold the project either as before that save or as after it, never a
// mix of both.
//
// Each round forks a child that loads the project, changes every file,
// deletes some and adds some, and saves; the parent kills it at a random
// moment of that save. PELLANDRIX_KILL_ROUNDS sets the number of rounds
// (default 5, enough to catch a save that is not one transaction).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <thread>

#include "store/database_location.h"
#include "store/project_list.h"
#include "store/tpl_file_list.h"
#include "store_fixture.h"
#include "testkit/recording_presenter.h"

namespace pellandrix {
namespace {

using Clock = std::chrono::steady_clock;
using testkit::RawQuery;

constexpr int kFiles = 10000;
constexpr int kChanged = 100;  // files deleted and files added by each save

// What a query over TPLFile tells of one generation of the project: the
// number of rows, the smallest and largest SourcePath, and the sum of ids.
using Signature = std::vector<std::string>;
const char* const kSignatureSql =
    "select count(*), min(SourcePath), max(SourcePath), sum(TPLFileId) from TPLFile";

std::string GenerationPath(int generation) {
    return "gen" + std::to_string(1000 + generation);
}

// Generation g holds kFiles rows, all with SourcePath GenerationPath(g);
// every save deletes the kChanged files of lowest id and adds kChanged new
// ones, so the ids run from g * kChanged + 1 to g * kChanged + kFiles.
Signature Expected(int generation) {
    const long long first = static_cast<long long>(generation) * kChanged + 1;
    const long long last = first + kFiles - 1;
    return {std::to_string(kFiles), GenerationPath(generation), GenerationPath(generation),
            std::to_string((first + last) * kFiles / 2)};
}

// The child's side of a round: turns generation `from` into `from + 1`.
// Writes one byte to `ready` when the save begins.
void SaveNextGeneration(const std::string& path, int from, int ready) {
    CDaoDatabase db;
    db.Open(path);
    CTplFileList files;
    files.LoadForProject(db, 1);
    int deleted = 0;
    for (CTplFileRecord& f : files.Records()) {
        f.SourcePath = GenerationPath(from + 1);
        if (deleted < kChanged) {
            f.Deleted = 1;
            ++deleted;
        }
    }
    for (int i = 0; i < kChanged; ++i) {
        CTplFileRecord* f = files.NewFile();
        f->ProjectId = 1;
        f->TPLFileName = "new" + std::to_string(f->TPLFileId) + ".tpl";
        f->SourcePath = GenerationPath(from + 1);
    }
    const char go = 'S';
    (void)!::write(ready, &go, 1);
    files.SaveAll(db, 1);
}

class KillSaveTest : public ::testing::Test, public testkit::StoreFixture {
  protected:
    void SetUp() override {
        CDaoDatabase maker;
        maker.Create(Path());
        CProjectRecord::CreateTable(maker);
        CTplFileRecord::CreateTable(maker);
        CProjectList projects;
        projects.NewProject()->ProjectName = "Big";
        projects.SaveAll(maker);
        CTplFileList files;
        for (int i = 0; i < kFiles; ++i) {
            CTplFileRecord* f = files.NewFile();
            f->ProjectId = 1;
            f->TPLFileName = "page" + std::to_string(f->TPLFileId) + ".tpl";
            f->SourcePath = GenerationPath(0);
        }
        files.SaveAll(maker, 1);
    }

    // Forks the saving child; waits until its save begins, then, unless
    // `delay` is negative, kills it after `delay`. Returns the time from the
    // start of the save to the child's end and whether it was killed.
    std::pair<Clock::duration, bool> Round(int from, Clock::duration delay) {
        int pipeFds[2];
        EXPECT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            int status = 0;
            try {
                SaveNextGeneration(Path(), from, pipeFds[1]);
            } catch (...) {
                status = 3;
            }
            ::_exit(status);
        }
        ::close(pipeFds[1]);
        char go = 0;
        const bool started = ::read(pipeFds[0], &go, 1) == 1;
        ::close(pipeFds[0]);
        const Clock::time_point start = Clock::now();
        if (started && delay >= Clock::duration::zero()) {
            std::this_thread::sleep_for(delay);
            ::kill(child, SIGKILL);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        EXPECT_TRUE(started);
        EXPECT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
        return {Clock::now() - start, killed};
    }

    // The next start: opened as the program opens it (which rolls back what
    // the killed save left in its journal), then checked from outside.
    void StartAgain() {
        testkit::RecordingPresenter presenter;
        CMessageService messages(presenter);
        CDaoDatabase again;
        CreateOrOpenDatabase(again, messages, {Path(), "Pellandrix.mdb", dir / ""});
        again.Close();
        EXPECT_EQ(RawQuery(Path(), "pragma integrity_check"),
                  (std::vector<std::vector<std::string>>{{"ok"}}));
    }
};

int Rounds() {
    const char* text = std::getenv("PELLANDRIX_KILL_ROUNDS");
    return text != nullptr ? std::max(1, std::atoi(text)) : 5;
}

TEST_F(KillSaveTest, KilledSaveLeavesTheStateBeforeOrAfterNeverAMix) {
    // One save run to its end tells how long a save takes here.
    const Clock::duration saveTime = Round(0, Clock::duration(-1)).first;
    StartAgain();
    ASSERT_EQ(RawQuery(Path(), kSignatureSql)[0], Expected(1));
    int generation = 1;

    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<long long> moment(0, saveTime.count() * 11 / 10);
    int before = 0;
    int after = 0;
    int killedAfterEnd = 0;
    const int rounds = Rounds();
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        const auto [elapsed, killed] = Round(generation, Clock::duration(moment(random)));
        StartAgain();
        const Signature now = RawQuery(Path(), kSignatureSql)[0];
        if (now == Expected(generation)) {
            ++before;
            EXPECT_TRUE(killed) << "a save that ended must have been kept";
        } else {
            ASSERT_EQ(now, Expected(generation + 1)) << "neither before nor after the save";
            ++after;
            killedAfterEnd += killed ? 1 : 0;
            ++generation;
        }
    }
    std::cout << "kill rounds " << rounds << ": before " << before << ", after " << after
              << " (killed after the commit " << killedAfterEnd << "), save takes "
              << std::chrono::duration_cast<std::chrono::milliseconds>(saveTime).count() << " ms\n";
    RecordProperty("before", before);
    RecordProperty("after", after);
}

}  // namespace
}  // namespace pellandrix
