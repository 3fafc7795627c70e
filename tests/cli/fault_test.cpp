// pellandrix-cli under faults: a database it must refuse (exit status 2,
// one clear message, the file byte for byte as it was) and generated files
// that cannot be written (the run goes on; a page cut short is reported).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "cli/cli.h"
#include "cli_fixture.h"
#include "support/string_table.h"
#include "testkit/faults.h"

namespace pellandrix {
namespace {

namespace fs = std::filesystem;
using testkit::CliFixture;
using testkit::ReadBytes;
using Lines = std::vector<std::string>;

// A project "Web" with two selected templates: src/a.tpl and src/b.tpl,
// generated into out/.
struct TwoPages : CliFixture {
    TwoPages() {
        fs::create_directory(dir / "src");
        fs::create_directory(dir / "out");
        EXPECT_EQ(
            Run({"add-project", "Web", "--source", "src", "--target", "out", "--ext", "html"}), 0);
        for (const char* name : {"a.tpl", "b.tpl"}) {
            Write(std::string("src/") + name, std::string(name) + "\n");
            EXPECT_EQ(Run({"add-file", "Web", dir / ("src/" + std::string(name)), "--select"}), 0);
        }
    }
    std::string Db() const { return dir / "Pellandrix.mdb"; }
};

// The message the start-up shows for a database it cannot open starts so.
bool RefusedDatabase(const CliFixture& f) {
    return f.ErrLines().size() == 1 && f.err.rfind("Die Projektdatenbank ", 0) == 0;
}

// A command of each kind: listing, reading a project, generating, adding.
const std::vector<std::vector<std::string>> kCommandsThatOpenTheDatabase{
    {"projects"}, {"files", "Web"}, {"generate", "Web"}, {"add-project", "New"}};

TEST(CliFaults, TruncatedDatabaseIsRefusedForEveryCommandAndKept) {
    TwoPages p;
    const std::string cut = ReadBytes(p.Db()).substr(0, 5000);
    p.Write("Pellandrix.mdb", cut);
    for (const auto& command : kCommandsThatOpenTheDatabase) {
        SCOPED_TRACE(command[0]);
        EXPECT_EQ(p.Run(command), cli::kExitFailure);
        EXPECT_TRUE(RefusedDatabase(p)) << p.err;
        EXPECT_EQ(ReadBytes(p.Db()), cut);
    }
    EXPECT_FALSE(testkit::Exists(p.dir / "out/a.html"));
}

TEST(CliFaults, EmptyDatabaseFileIsRefusedForEveryCommandAndKept) {
    TwoPages p;
    p.Write("Pellandrix.mdb", "");
    const auto then = fs::file_time_type::clock::now() - std::chrono::hours(24);
    fs::last_write_time(p.Db(), then);
    for (const auto& command : kCommandsThatOpenTheDatabase) {
        SCOPED_TRACE(command[0]);
        EXPECT_EQ(p.Run(command), cli::kExitFailure);
        EXPECT_TRUE(RefusedDatabase(p)) << p.err;
        EXPECT_NE(p.err.find("empty"), std::string::npos) << p.err;
        EXPECT_EQ(p.out, "");
        EXPECT_EQ(fs::file_size(p.Db()), 0u);
        EXPECT_EQ(fs::last_write_time(p.Db()), then);
    }
    EXPECT_FALSE(testkit::Exists(p.dir / "out/a.html"));
}

TEST(CliFaults, ReadOnlyDatabaseIsRefusedAndKept) {
    TwoPages p;
    const std::string before = ReadBytes(p.Db());
    testkit::ReadOnlyFile readOnly(p.Db());
    if (!readOnly.Holds()) {
        GTEST_SKIP() << "this file system cannot make the file read-only for root";
    }
    EXPECT_EQ(p.Run({"add-project", "New"}), cli::kExitFailure);
    EXPECT_TRUE(RefusedDatabase(p)) << p.err;
    EXPECT_NE(p.err.find("readonly"), std::string::npos) << p.err;
    EXPECT_EQ(ReadBytes(p.Db()), before);
}

TEST(CliFaults, DatabaseHeldByAnotherProcessIsRefusedAndKept) {
    TwoPages p;
    const std::string before = ReadBytes(p.Db());
    testkit::LockingProcess other(p.Db());
    ASSERT_TRUE(other.Locked());
    EXPECT_EQ(p.Run({"add-project", "New"}), cli::kExitFailure);
    EXPECT_TRUE(RefusedDatabase(p)) << p.err;
    EXPECT_NE(p.err.find("locked"), std::string::npos) << p.err;
    EXPECT_EQ(ReadBytes(p.Db()), before);
}

TEST(CliFaults, FullDiskIsReportedWithStatusOneAndTheOtherPageIsWritten) {
    TwoPages p;
    // A page leads to a device only within the target folders: /dev is one.
    p.Write("src/dev.tpl", "");
    ASSERT_EQ(p.Run({"add-file", "Web", "src/dev.tpl", "--target", "/dev"}), 0);
    fs::create_symlink("/dev/full", p.dir / "out/a.html");
    EXPECT_EQ(p.Run({"generate", "Web"}), cli::kExitErrorsShown);
    EXPECT_EQ(p.ErrLines(), Lines{FormatMessage(MessageId::kWriteFailed, "out/a.html", "")});
    EXPECT_EQ(ReadBytes(p.dir / "out/b.html"), "b.tpl\r\n");
    EXPECT_TRUE(fs::is_symlink(p.dir / "out/a.html"));
}

TEST(CliFaults, MissingTargetDirectoryOrTemplateIsReportedWithStatusOne) {
    TwoPages p;
    fs::remove(p.dir / "out");
    EXPECT_EQ(p.Run({"generate", "Web"}), cli::kExitErrorsShown);
    EXPECT_EQ(p.ErrLines(),
              (Lines{FormatMessage(MessageId::kTargetDirectoryMissing, "out", "out/a.html"),
                     FormatMessage(MessageId::kTargetDirectoryMissing, "out", "out/b.html")}));
    EXPECT_FALSE(testkit::Exists(p.dir / "out"));
    EXPECT_EQ(p.OutLines(), (Lines{"Fehler\ta.tpl", "Fehler\tb.tpl"}));

    fs::create_directory(p.dir / "out");
    fs::remove(p.dir / "src/a.tpl");
    EXPECT_EQ(p.Run({"generate", "Web"}), cli::kExitErrorsShown);
    EXPECT_EQ(p.ErrLines(), Lines{FormatMessage(MessageId::kTemplateUnreadable, "src/a.tpl", "")});
    EXPECT_EQ(p.OutLines(), (Lines{"Fehler\ta.tpl", "fertig\tb.tpl"}));
}

}  // namespace
}  // namespace pellandrix
