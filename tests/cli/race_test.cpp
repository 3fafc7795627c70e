// Real processes saving into one database at the same moment: no row may
// be lost, no id handed out twice, and exit 0 only for what was saved.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/dao_database.h"
#include "store/tpl_file_list.h"
#include "testkit/files.h"
#include "testkit/temp_dir.h"

extern char** environ;

namespace pellandrix {
namespace {

namespace fs = std::filesystem;

constexpr int kRounds = 50;

// pellandrix-cli started without waiting; its standard output goes to a
// file of its own.
class CliProcess {
  public:
    CliProcess(const testkit::TempDir& dir, std::vector<std::string> args, std::string outFile)
        : outFile_(dir / outFile) {
        args.insert(args.begin(), {PELLANDRIX_CLI_PATH, "-C", dir.Path().string()});
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    // The exit status, and the id the command printed.
    int Wait(int* id) {
        int raw = 0;
        waitpid(pid_, &raw, 0);
        std::istringstream(testkit::ReadBytes(outFile_)) >> *id;
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

  private:
    std::string outFile_;
    pid_t pid_ = -1;
};

// The first column of every line `command` prints, as numbers.
std::vector<int> ListedIds(const testkit::TempDir& dir, std::vector<std::string> args) {
    CliProcess list(dir, std::move(args), "list.txt");
    int ignored = 0;
    EXPECT_EQ(list.Wait(&ignored), 0);
    std::vector<int> ids;
    std::istringstream lines(testkit::ReadBytes(dir / "list.txt"));
    for (std::string line; std::getline(lines, line);) {
        ids.push_back(std::stoi(line));
    }
    return ids;
}

void ExpectUnique(const std::vector<int>& ids, std::size_t count) {
    EXPECT_EQ(ids.size(), count);
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size());
}

struct RaceTest : ::testing::Test {
    void SetUp() override {
        fs::create_directory(dir.Path() / "t");
        for (int i = 0; i < kRounds; ++i) {
            for (const char* side : {"a", "b"}) {
                testkit::WriteBytes(dir / ("t/" + std::string(side) + std::to_string(i) + ".tpl"),
                                    "x\n");
            }
        }
        CliProcess add(dir, {"add-project", "P", "--source", "t", "--target", "t"}, "p.txt");
        int id = 0;
        ASSERT_EQ(add.Wait(&id), 0);
    }
    testkit::TempDir dir;
};

TEST_F(RaceTest, TwoCommandLinesAddingAtOnceKeepBothRows) {
    for (int i = 0; i < kRounds; ++i) {
        const std::string n = std::to_string(i);
        CliProcess fileA(dir, {"add-file", "P", "t/a" + n + ".tpl"}, "1.txt");
        CliProcess fileB(dir, {"add-file", "P", "t/b" + n + ".tpl"}, "2.txt");
        CliProcess projectA(dir, {"add-project", "A" + n}, "3.txt");
        CliProcess projectB(dir, {"add-project", "B" + n}, "4.txt");
        int ids[4] = {};
        ASSERT_EQ(fileA.Wait(&ids[0]), 0);
        ASSERT_EQ(fileB.Wait(&ids[1]), 0);
        ASSERT_EQ(projectA.Wait(&ids[2]), 0);
        ASSERT_EQ(projectB.Wait(&ids[3]), 0);
        ASSERT_NE(ids[0], ids[1]) << "round " << i;
        ASSERT_NE(ids[2], ids[3]) << "round " << i;
    }
    ExpectUnique(ListedIds(dir, {"files", "P"}), 2 * kRounds);
    ExpectUnique(ListedIds(dir, {"projects"}), 1 + 2 * kRounds);
}

TEST_F(RaceTest, ALongLivedListSavingBesideACommandLineKeepsBothRows) {
    // The desktop program's way: the list is loaded once and saved much
    // later, while another process adds rows in between.
    CDaoDatabase db;
    db.Open(dir / "Pellandrix.mdb");
    CTplFileList files;
    files.LoadForProject(db, 1);
    for (int i = 0; i < kRounds; ++i) {
        const std::string n = std::to_string(i);
        CliProcess other(dir, {"add-file", "P", "t/b" + n + ".tpl"}, "1.txt");
        CTplFileRecord* mine = files.NewFile();
        mine->ProjectId = 1;
        mine->TPLFileName = "a" + n + ".tpl";
        files.SaveAll(db, 1);
        int id = 0;
        ASSERT_EQ(other.Wait(&id), 0);
        ASSERT_NE(id, mine->TPLFileId) << "round " << i;
    }
    ExpectUnique(ListedIds(dir, {"files", "P"}), 2 * kRounds);
}

}  // namespace
}  // namespace pellandrix
