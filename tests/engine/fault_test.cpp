// Faults of the file system under a generation run: the run goes on, the
// user hears of a generated file that could not be written completely, and
// no other file is damaged.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "engine/generation_run.h"
#include "project_fixture.h"
#include "support/text_file.h"
#include "testkit/faults.h"

namespace pellandrix {
namespace {

namespace fs = std::filesystem;
using testkit::kDone;
using testkit::ProjectFixture;

// The names of the hidden temporary files left in `dir`; a failed write
// must not leave any.
std::vector<std::string> HiddenFiles(const std::string& dir) {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().front() == '.') {
            names.push_back(e.path().filename().string());
        }
    }
    return names;
}

TEST(RunFaults, MissingTargetDirectoryIsReportedOnceAsAFailureAndTheRunGoesOn) {
    ProjectFixture p;
    CTplFileRecord& lost = p.Add("lost.tpl", "#define X kept\nlost\n");
    lost.TargetPath = p.dir / "no/such/dir";
    CTplFileRecord& page = p.Add("page.tpl", "page\n");
    p.Add("user.tpl", "#include \"lost.tpl\"\nX\n");
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("page.html"), "page\r\n");
    // The lost page still takes effect in its includer, but inserts nothing;
    // the include itself is silent, and the page's own passes say it once.
    EXPECT_EQ(p.Out("user.html"), "kept\r\n");
    EXPECT_FALSE(testkit::Exists(p.dir / "no"));
    EXPECT_EQ(p.presenter.Texts(), std::vector<std::string>{FormatMessage(
                                       MessageId::kTargetDirectoryMissing, p.dir / "no/such/dir",
                                       p.dir / "no/such/dir/lost.html")});
    EXPECT_EQ(p.presenter.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(lost.RunStatus, static_cast<int>(RunStatus::Failed));
    EXPECT_EQ(RunStatusText(lost.RunStatus), "Fehler");
    EXPECT_EQ(page.RunStatus, kDone);
}

TEST(RunFaults, TargetDirectoryWithoutWritePermissionChangesNothingThere) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write into any directory";
    }
    ProjectFixture p;
    p.Add("page.tpl", "new\n");
    p.Add("other.tpl", "other\n").TargetPath = p.dir / "src";
    testkit::WriteBytes(p.out + "/page.html", "old");
    ::chmod(p.out.c_str(), 0555);
    RunGeneration(p.parser, p.view);
    ::chmod(p.out.c_str(), 0755);
    EXPECT_EQ(p.Out("page.html"), "old");
    EXPECT_TRUE(HiddenFiles(p.out).empty());
    EXPECT_EQ(testkit::ReadBytes(p.src + "/other.html"), "other\r\n");
}

TEST(RunFaults, DirectoryNobodyMayCreateFilesInIsSkippedEvenForRoot) {
    // Nothing can be created in /proc/self, whoever asks.
    ProjectFixture p;
    CTplFileRecord& page = p.Add("page.tpl", "page\n");
    page.TargetPath = "/proc/self";
    p.Add("next.tpl", "next\n");
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("next.html"), "next\r\n");
    EXPECT_FALSE(testkit::Exists("/proc/self/page.html"));
    EXPECT_EQ(p.presenter.Texts(), std::vector<std::string>{FormatMessage(
                                       MessageId::kCannotCreateFile, "/proc/self/page.html", "")});
    EXPECT_EQ(page.RunStatus, static_cast<int>(RunStatus::Failed));
}

TEST(RunFaults, FullDeviceIsReportedOnceAndTheRunGoesOn) {
    ProjectFixture p;
    p.Add("full.tpl", "text for nowhere\n");
    p.Add("next.tpl", "next\n");
    p.TargetDevices();
    fs::create_symlink("/dev/full", p.out + "/full.html");
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("next.html"), "next\r\n");
    EXPECT_TRUE(fs::is_symlink(p.out + "/full.html"));
    ASSERT_EQ(p.presenter.Texts(), std::vector<std::string>{FormatMessage(
                                       MessageId::kWriteFailed, p.out + "/full.html", "")});
}

TEST(RunFaults, PageCutShortByAFullDiskKeepsItsOldTextAndLeavesNoTemporaryFile) {
    ProjectFixture p;
    const std::string big(100000, 'x');
    p.Add("big.tpl", (big + "\n").c_str());
    p.Add("small.tpl", "small\n");
    testkit::WriteBytes(p.out + "/big.html", "old big page");
    testkit::WriteBytes(p.out + "/small.html", "old small page");
    {
        testkit::FileSizeLimit limit(4096);
        RunGeneration(p.parser, p.view);
    }
    EXPECT_EQ(p.Out("big.html"), "old big page");
    EXPECT_EQ(p.Out("small.html"), "small\r\n");
    EXPECT_TRUE(HiddenFiles(p.out).empty());
    const std::string target = fs::canonical(p.out).string() + "/big.html";
    EXPECT_EQ(p.presenter.Texts(),
              std::vector<std::string>{FormatMessage(MessageId::kWriteFailed, target, "")});
}

TEST(RunFaults, AnIncludedFileCutShortIsReportedWhenItHappensAndInsertsNothing) {
    // The piece's text for the second page passes a limit its first text
    // kept within; it is kept by the third page, as its first text was.
    ProjectFixture p;
    CTplFileRecord& piece = p.Add("piece.tpl", "WHO\nWHO\nWHO\nWHO\nWHO\n", false);
    piece.CreateFile = 0;
    p.Add("a.tpl", "#define WHO a\n#include \"piece.tpl\"\n");
    p.Add("b.tpl",
          ("#define WHO " + std::string(900, 'b') + "\n#include \"piece.tpl\"\nb\n").c_str());
    p.Add("c.tpl", "#define WHO c\n#include \"piece.tpl\"\n");
    {
        testkit::FileSizeLimit limit(4096);
        RunGeneration(p.parser, p.view);
    }
    EXPECT_EQ(p.Out("a.html"), "a\r\na\r\na\r\na\r\na\r\n");
    EXPECT_EQ(p.Out("b.html"), "b\r\n");
    EXPECT_EQ(p.Out("c.html"), "c\r\nc\r\nc\r\nc\r\nc\r\n");
    EXPECT_FALSE(p.OutExists("piece.html"));
    EXPECT_TRUE(HiddenFiles(p.out).empty());
    EXPECT_EQ(p.presenter.Texts(), std::vector<std::string>{FormatMessage(
                                       MessageId::kWriteFailed, p.out + "/piece.html", "")});
}

TEST(RunFaults, TemplatesAreNeitherOverwrittenNorDeletedHoweverTheirPathIsSpelt) {
    ProjectFixture p;
    fs::create_directory(p.src + "/sub");
    fs::create_directory_symlink(p.src, p.dir / "alias");
    // Its generated file is its own template, reached through a link.
    CTplFileRecord& self = p.Add("self.tpl", "self\n");
    self.CreateFileExt = "tpl";
    self.TargetPath = p.dir / "alias";
    // The clean-up would delete its own template, spelt with "sub/..".
    CTplFileRecord& piece = p.Add("piece.tpl", "piece\n", false);
    piece.CreateFile = 0;
    piece.CreateFileExt = "tpl";
    piece.TargetPath = p.src + "/sub/..";
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(testkit::ReadBytes(p.src + "/self.tpl"), "self\n");
    EXPECT_EQ(testkit::ReadBytes(p.src + "/piece.tpl"), "piece\n");
    EXPECT_EQ(self.RunStatus, static_cast<int>(RunStatus::Failed));
    EXPECT_EQ(p.presenter.Texts(),
              (std::vector<std::string>{
                  FormatMessage(MessageId::kFileIsTemplate, p.dir / "alias/self.tpl", ""),
                  FormatMessage(MessageId::kFileIsTemplate, p.src + "/sub/../piece.tpl", "")}));
}

TEST(RunFaults, LinksOutOfTheTargetFoldersAreLeftAloneAndLinksWithinAreWrittenThrough) {
    ProjectFixture p;
    fs::create_directory(p.dir / "elsewhere");
    fs::create_directory(p.dir / "out2");
    testkit::WriteBytes(p.dir / "elsewhere/secret.txt", "secret");
    testkit::WriteBytes(p.dir / "out2/shared.html", "old");
    fs::create_symlink(p.dir / "elsewhere/secret.txt", p.out + "/page.html");
    fs::create_symlink(p.dir / "out2/shared.html", p.out + "/alias.html");
    // Refused, the link of a page that is not kept is not deleted either.
    fs::create_symlink(p.dir / "elsewhere/secret.txt", p.out + "/part.html");
    p.Add("part.tpl", "part\n").CreateFile = 0;
    CTplFileRecord& page = p.Add("page.tpl", "page\n");
    p.Add("alias.tpl", "alias\n");
    p.Add("other.tpl", "other\n").TargetPath = p.dir / "out2";
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(testkit::ReadBytes(p.dir / "elsewhere/secret.txt"), "secret");
    EXPECT_TRUE(HiddenFiles(p.dir / "elsewhere").empty());
    EXPECT_TRUE(fs::is_symlink(p.out + "/page.html"));
    EXPECT_TRUE(fs::is_symlink(p.out + "/part.html"));
    EXPECT_EQ(page.RunStatus, static_cast<int>(RunStatus::Failed));
    EXPECT_EQ(testkit::ReadBytes(p.dir / "out2/shared.html"), "alias\r\n");
    EXPECT_TRUE(fs::is_symlink(p.out + "/alias.html"));
    EXPECT_EQ(p.presenter.Texts(),
              (std::vector<std::string>{
                  FormatMessage(MessageId::kOutsideTargetFolders, p.out + "/part.html", ""),
                  FormatMessage(MessageId::kOutsideTargetFolders, p.out + "/page.html", "")}));
}

// Every file in `dir`, by name, with its bytes.
std::map<std::string, std::string> Listing(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        files[e.path().filename().string()] = testkit::ReadBytes(e.path().string());
    }
    return files;
}

// Starts swapping the target folder once the run has taken note of it (its
// first status change comes after that).
struct SwappingView : testkit::RecordingView {
    explicit SwappingView(testkit::FolderSwapper& swapper) : swapper(swapper) {}
    void RefreshRowStatus(int row) override {
        swapper.Start();
        RecordingView::RefreshRowStatus(row);
    }
    testkit::FolderSwapper& swapper;
};

TEST(RunFaults, ATargetFolderSwappedForALinkMidRunSendsNoWriteOrDeleteThrough) {
    constexpr int kRounds = 20;
    constexpr int kPages = 100;
    int swaps = 0;
    for (int round = 0; round < kRounds; ++round) {
        ProjectFixture p;
        const std::string outside = p.dir / "outside";
        fs::create_directory(outside);
        for (int i = 0; i < kPages; ++i) {
            const std::string name = "p" + std::to_string(i);
            // Every fourth is deleted again by the clean-up pass.
            p.Add(name + ".tpl", (name + "\n").c_str()).CreateFile = i % 4 == 0 ? 0 : 1;
            testkit::WriteBytes(outside + "/" + name + ".html", "not the run's");
        }
        const std::map<std::string, std::string> before = Listing(outside);
        testkit::FolderSwapper swapper(p.out, outside);
        SwappingView view(swapper);
        RunGeneration(p.parser, view);
        swaps += swapper.Stop();
        ASSERT_EQ(Listing(outside), before) << "round " << round;
    }
    EXPECT_GT(swaps, 0);
}

TEST(RunFaults, MoreTargetFoldersThanTheSoftLimitOfDescriptorsAreAllWritten) {
    rlimit before;
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    constexpr rlim_t kSoft = 64;
    if (before.rlim_max < 4 * kSoft) {
        GTEST_SKIP() << "the hard limit leaves no room above the soft one";
    }
    ProjectFixture p;
    constexpr int kFolders = 2 * kSoft;
    for (int i = 0; i < kFolders; ++i) {
        const std::string folder = p.dir / ("f" + std::to_string(i));
        fs::create_directory(folder);
        p.Add("p" + std::to_string(i) + ".tpl", "page\n").TargetPath = folder;
    }
    rlimit low = before;
    low.rlim_cur = kSoft;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    RunGeneration(p.parser, p.view);
    ::setrlimit(RLIMIT_NOFILE, &before);
    for (int i = 0; i < kFolders; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_EQ(testkit::ReadBytes(p.dir / ("f" + n + "/p" + n + ".html")), "page\r\n");
    }
    EXPECT_TRUE(p.presenter.Texts().empty());
}

TEST(RunFaults, PipesAndDevicesAreWrittenIntoOnlyInsideTheTargetFolders) {
    ProjectFixture p;
    fs::create_directory(p.dir / "elsewhere");
    const std::string pipe = p.dir / "elsewhere/pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // With a reader at the other end, a write would go through.
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    fs::create_symlink(pipe, p.out + "/piped.html");
    CTplFileRecord& piped = p.Add("piped.tpl", "piped\n");
    RunGeneration(p.parser, p.view);
    char got[16];
    EXPECT_LE(::read(reader, got, sizeof got), 0);
    ::close(reader);
    EXPECT_EQ(piped.RunStatus, static_cast<int>(RunStatus::Failed));
    EXPECT_EQ(p.presenter.Texts(),
              std::vector<std::string>{
                  FormatMessage(MessageId::kOutsideTargetFolders, p.out + "/piped.html", "")});
}

TEST(RunFaults, ARunSweepsTheHiddenFilesOfKilledRunsAndNothingElse) {
    ProjectFixture p;
    p.Add("page.tpl", "page\n");
    // A process killed while writing leaves its temporary file behind.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CTextWriter writer;
        writer.Open(p.out + "/page.html");
        writer.Write("half a page");
        writer.Suspend();
        ::_exit(writer.Resume() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(HiddenFiles(p.out).size(), 1u);
    // Alike, but not a dead process's file of ours: kept.
    const std::string mine = ".page.html.~pellandrix." + std::to_string(::getpid()) + ".a1B2c3";
    const std::string dead = ".x.html.~pellandrix." + std::to_string(child) + ".a1B2c3";
    const std::vector<std::string> kept{".page.html.a1B2c3", mine, dead + "x", dead + ".lnk"};
    for (const std::string& name : kept) {
        testkit::WriteBytes(p.out + "/" + name, "keep");
    }
    fs::create_symlink(p.out + "/page.html", p.out + "/" + dead);
    RunGeneration(p.parser, p.view);
    std::vector<std::string> left = HiddenFiles(p.out);
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = kept;
    expected.push_back(dead);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    EXPECT_EQ(p.Out("page.html"), "page\r\n");
}

TEST(RunFaults, TemplatesThatCannotBeReadAreSkippedWithoutWaiting) {
    ProjectFixture p;
    p.Add("dir.tpl", nullptr);
    fs::create_directory(p.src + "/dir.tpl");
    p.Add("pipe.tpl", nullptr);
    ASSERT_EQ(::mkfifo((p.src + "/pipe.tpl").c_str(), 0600), 0);
    p.Add("page.tpl", "#include \"dir.tpl\"\n#include \"pipe.tpl\"\npage\n");
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("page.html"), "page\r\n");
    EXPECT_FALSE(p.OutExists("dir.html"));
    EXPECT_FALSE(p.OutExists("pipe.html"));
    // Their own passes are reported; the includes are not.
    EXPECT_EQ(p.presenter.Texts(),
              (std::vector<std::string>{
                  FormatMessage(MessageId::kTemplateUnreadable, p.src + "/dir.tpl", ""),
                  FormatMessage(MessageId::kTemplateUnreadable, p.src + "/pipe.tpl", "")}));
}

TEST(RunFaults, UnreadableTemplateIsSkipped) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may read any file";
    }
    ProjectFixture p;
    p.Add("secret.tpl", "secret\n");
    ::chmod((p.src + "/secret.tpl").c_str(), 0);
    p.Add("page.tpl", "page\n");
    RunGeneration(p.parser, p.view);
    EXPECT_FALSE(p.OutExists("secret.html"));
    EXPECT_EQ(p.Out("page.html"), "page\r\n");
}

TEST(RunFaults, IncludesOfDirectoriesAndDevicesInsertNothingAndDoNotHang) {
    ProjectFixture p;
    fs::create_directory(p.dir / "folder.txt");
    ASSERT_EQ(::mkfifo((p.dir / "pipe.txt").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", p.dir / "zero.txt");
    const std::string text = "a\n#include \"" + (p.dir / "folder.txt") + "\"\nb\n#include \"" +
                             (p.dir / "pipe.txt") + "\"\nc\n#include \"" + (p.dir / "zero.txt") +
                             "\"\nd\n#include \"/dev/zero\"\n#include \"/dev/urandom\"\ne\n";
    p.Add("page.tpl", text.c_str());
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("page.html"), "a\r\nb\r\nc\r\nd\r\ne\r\n");
    EXPECT_TRUE(p.presenter.shown.empty());
}

TEST(RunFaults, GeneratedFileThatIsANamedPipeWithoutReaderDoesNotHang) {
    ProjectFixture p;
    ASSERT_EQ(::mkfifo((p.out + "/page.html").c_str(), 0600), 0);
    p.Add("page.tpl", "page\n");
    p.Add("next.tpl", "next\n");
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("next.html"), "next\r\n");
    EXPECT_EQ(fs::status(p.out + "/page.html").type(), fs::file_type::fifo);
}

}  // namespace
}  // namespace pellandrix
