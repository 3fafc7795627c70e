// Names that look like SQL, format strings or shell syntax: never run as
// SQL, and stored exactly as typed, apostrophes included. Every command
// opens the database anew, so each value here has been through a restart.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "cli/cli.h"
#include "cli_fixture.h"
#include "support/string_table.h"

namespace pellandrix {
namespace {

using testkit::CliFixture;
using Lines = std::vector<std::string>;

TEST(CliHostileNames, QuotesPercentSignsAndSqlAreStoredNeverRun) {
    CliFixture f;
    std::filesystem::create_directory(f.dir / "src dir");
    const std::string project = "O'Brien \"x\" 100% %s%n '); DROP TABLE project;--";
    const std::string file = "Über \"uns\"; DELETE FROM TPLFile;--.tpl";
    ASSERT_EQ(f.Run({"add-project", project, "--source", "src dir", "--target", "a;b"}), 0);
    ASSERT_EQ(f.Run({"add-project", "second"}), 0);
    f.Write("src dir/" + file, "x\n");
    ASSERT_EQ(f.Run({"add-file", project, f.dir / ("src dir/" + file), "--own-source"}), 0)
        << f.err;

    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.OutLines(), (Lines{"1\t" + project + "\tsrc dir\ta;b\t", "2\tsecond\t\t\t"}));
    ASSERT_EQ(f.Run({"files", project}), 0);
    EXPECT_EQ(f.OutLines(),
              Lines{"1\t" + file + "\t0\t1\t1\t0\t1\t\t" + (f.dir / "src dir") + "\ta;b"});
}

TEST(CliHostileNames, ProjectIsFoundByTheNameAsTypedApostrophesIncluded) {
    CliFixture f;
    std::filesystem::create_directory(f.dir / "src");
    std::filesystem::create_directory(f.dir / "out");
    f.Write("src/index.tpl", "#define WHO Bob\nWHO\n");
    ASSERT_EQ(
        f.Run({"add-project", "Bob's Site", "--source", "src", "--target", "out", "--ext", "html"}),
        0);
    ASSERT_EQ(f.Run({"add-project", "Bobs Site"}), 0);
    ASSERT_EQ(f.Run({"add-file", "Bob's Site", "src/index.tpl", "--select"}), 0) << f.err;
    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.OutLines(), (Lines{"1\tBob's Site\tsrc\tout\thtml", "2\tBobs Site\t\t\t"}));

    ASSERT_EQ(f.Run({"files", "Bob's Site"}), 0) << f.err;
    ASSERT_EQ(f.OutLines().size(), 1u);
    EXPECT_EQ(f.OutLines()[0].substr(0, 12), "1\tindex.tpl\t");
    ASSERT_EQ(f.Run({"files", "Bobs Site"}), 0) << f.err;
    EXPECT_EQ(f.out, "");
    ASSERT_EQ(f.Run({"generate", "Bob's Site"}), 0) << f.err;
    EXPECT_EQ(f.OutLines(), Lines{"fertig\tindex.tpl"});
    EXPECT_EQ(testkit::ReadBytes(f.dir / "out/index.html"), "Bob\r\n");

    // The name the user typed is the one an error names.
    EXPECT_EQ(f.Run({"generate", "Bob's Sitemap"}), cli::kExitFailure);
    EXPECT_EQ(f.ErrLines(), Lines{FormatMessage(MessageId::kUnknownProject, "Bob's Sitemap", "")});
}

// A file name, directory or extension without its apostrophe would name
// another file: each is kept, and generation finds and writes the real one.
TEST(CliHostileNames, FileNamesPathsAndExtensionsKeepTheirApostrophes) {
    CliFixture f;
    std::filesystem::create_directory(f.dir / "Peter's Seite");
    std::filesystem::create_directory(f.dir / "out'x");
    f.Write("Peter's Seite/Bob's.tpl", "x\n");
    ASSERT_EQ(f.Run({"add-project", "Web", "--source", "Peter's Seite", "--target", "out"}), 0)
        << f.err;
    ASSERT_EQ(f.Run({"add-file", "Web", "Peter's Seite/Bob's.tpl", "--target", "out'x", "--ext",
                     "ht'm", "--select"}),
              0)
        << f.err;
    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.OutLines(), Lines{"1\tWeb\tPeter's Seite\tout\t"});
    ASSERT_EQ(f.Run({"files", "Web"}), 0);
    EXPECT_EQ(f.OutLines(), Lines{"1\tBob's.tpl\t1\t1\t1\t1\t0\tht'm\tPeter's Seite\tout'x"});
    ASSERT_EQ(f.Run({"generate", "Web"}), 0) << f.err;
    EXPECT_EQ(f.OutLines(), Lines{"fertig\tBob's.tpl"});
    EXPECT_EQ(testkit::ReadBytes(f.dir / "out'x/Bob's.ht'm"), "x\r\n");
}

// Refused, and quoted escaped: the value never reaches the terminal raw.
TEST(CliHostileNames, ControlCharactersInNamesAreRefused) {
    CliFixture f;
    std::filesystem::create_directory(f.dir / "src");
    f.Write("src/a\tb.tpl", "x\n");
    ASSERT_EQ(f.Run({"add-project", "Web", "--source", "src"}), 0);
    f.Write("src/a.tpl", "x\n");
    const auto control = MessageId::kControlCharacter;
    const std::vector<std::tuple<std::vector<std::string>, std::string, MessageId>> refused{
        {{"add-project", "Zwei\nZeilen"}, "Zwei\\nZeilen", control},
        {{"add-project", "New", "--target", "out\x1b"}, "out\\x1b", control},
        {{"add-project", "C1\xc2\x9b"}, "C1\\x9b", control},
        {{"add-project", "New", "--source", "a\xe2\x80\xa8"}, "a\\u2028", control},
        {{"add-project", "Latin\xe9"}, "Latin\\xe9", MessageId::kTextNotUtf8},
        {{"add-file", "Web", "src/a\tb.tpl"}, "a\\tb.tpl", control},
        {{"add-file", "Web", "src/a.tpl", "--ext", "../../x"}, "../../x", MessageId::kNotAFileName},
        {{"bogus\x1b[2J"}, "unbekannter Befehl bogus\\x1b[2J", MessageId::kUsageError},
    };
    for (const auto& [args, value, id] : refused) {
        EXPECT_EQ(f.Run(args), cli::kExitFailure);
        EXPECT_EQ(f.err, FormatMessage(id, value, "") + "\n");
    }
    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.OutLines().size(), 1u);
}

}  // namespace
}  // namespace pellandrix
