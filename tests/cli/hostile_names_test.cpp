// Names that look like SQL, format strings or shell syntax: never run as
// SQL, and stored as the store's rules say: every apostrophe is dropped on
// the way into the database, everything else is kept as typed.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli.h"
#include "cli_fixture.h"

namespace pellandrix {
namespace {

using testkit::CliFixture;
using Lines = std::vector<std::string>;

TEST(CliHostileNames, QuotesPercentSignsAndSqlAreStoredNeverRun) {
    CliFixture f;
    std::filesystem::create_directory(f.dir / "src dir");
    const std::string project = "O'Brien \"x\" 100% %s%n '); DROP TABLE project;--";
    const std::string stored = "OBrien \"x\" 100% %s%n ); DROP TABLE project;--";
    const std::string file = "Über \"uns\"; DELETE FROM TPLFile;--.tpl";
    ASSERT_EQ(f.Run({"add-project", project, "--source", "src dir", "--target", "a'b"}), 0);
    ASSERT_EQ(f.Run({"add-project", "second"}), 0);
    f.Write("src dir/" + file, "x\n");
    ASSERT_EQ(f.Run({"add-file", stored, f.dir / ("src dir/" + file), "--own-source"}), 0) << f.err;

    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.OutLines(), (Lines{"1\t" + stored + "\tsrc dir\tab\t", "2\tsecond\t\t\t"}));
    ASSERT_EQ(f.Run({"files", stored}), 0);
    EXPECT_EQ(f.OutLines(),
              Lines{"1\t" + file + "\t0\t1\t1\t0\t1\t\t" + (f.dir / "src dir") + "\tab"});
}

}  // namespace
}  // namespace pellandrix
