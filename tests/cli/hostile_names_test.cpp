// Names that look like SQL, format strings or shell syntax: never run as
// SQL, and stored as the store's rules say: every apostrophe is dropped on
// the way into the database, everything else is kept as typed. A project is
// found by the name as typed; a file name, directory or extension that
// would be stored differently is refused.
#include <gtest/gtest.h>

#include <filesystem>

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
    const std::string stored = "OBrien \"x\" 100% %s%n ); DROP TABLE project;--";
    const std::string file = "Über \"uns\"; DELETE FROM TPLFile;--.tpl";
    ASSERT_EQ(f.Run({"add-project", project, "--source", "src dir", "--target", "a;b"}), 0);
    ASSERT_EQ(f.Run({"add-project", "second"}), 0);
    f.Write("src dir/" + file, "x\n");
    ASSERT_EQ(f.Run({"add-file", stored, f.dir / ("src dir/" + file), "--own-source"}), 0) << f.err;

    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.OutLines(), (Lines{"1\t" + stored + "\tsrc dir\ta;b\t", "2\tsecond\t\t\t"}));
    ASSERT_EQ(f.Run({"files", stored}), 0);
    EXPECT_EQ(f.OutLines(),
              Lines{"1\t" + file + "\t0\t1\t1\t0\t1\t\t" + (f.dir / "src dir") + "\ta;b"});
}

TEST(CliHostileNames, ProjectIsFoundByTheNameAsTypedWithApostrophes) {
    CliFixture f;
    std::filesystem::create_directory(f.dir / "src");
    std::filesystem::create_directory(f.dir / "out");
    f.Write("src/index.tpl", "#define WHO Bob\nWHO\n");
    ASSERT_EQ(
        f.Run({"add-project", "Bob's Site", "--source", "src", "--target", "out", "--ext", "html"}),
        0);
    ASSERT_EQ(f.Run({"add-project", "Bobs Sit'e"}), 0);
    ASSERT_EQ(f.Run({"add-file", "Bob's Site", "src/index.tpl", "--select"}), 0) << f.err;
    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.OutLines(), (Lines{"1\tBobs Site\tsrc\tout\thtml", "2\tBobs Site\t\t\t"}));

    // Typed with its apostrophe, as stored, or with it elsewhere: the first
    // of the two projects that are now named alike.
    for (const char* typed : {"Bob's Site", "Bobs Site", "B'o'b's Site'"}) {
        SCOPED_TRACE(typed);
        ASSERT_EQ(f.Run({"files", typed}), 0) << f.err;
        ASSERT_EQ(f.OutLines().size(), 1u);
        EXPECT_EQ(f.OutLines()[0].substr(0, 12), "1\tindex.tpl\t");
    }
    ASSERT_EQ(f.Run({"generate", "Bob's Site"}), 0) << f.err;
    EXPECT_EQ(f.OutLines(), Lines{"fertig\tindex.tpl"});
    EXPECT_EQ(testkit::ReadBytes(f.dir / "out/index.html"), "Bob\r\n");

    // The name the user typed is the one an error names.
    EXPECT_EQ(f.Run({"generate", "Bob's Sitemap"}), cli::kExitFailure);
    EXPECT_EQ(f.ErrLines(), Lines{FormatMessage(MessageId::kUnknownProject, "Bob's Sitemap", "")});
}

TEST(CliHostileNames, FileNamesAndPathsWithApostrophesAreRefusedAndNothingIsStored) {
    CliFixture f;
    std::filesystem::create_directory(f.dir / "src");
    std::filesystem::create_directory(f.dir / "it's");
    f.Write("src/Bob's.tpl", "x\n");
    f.Write("src/a.tpl", "a\n");
    f.Write("it's/b.tpl", "b\n");
    ASSERT_EQ(f.Run({"add-project", "Web", "--source", "src", "--target", "out"}), 0);

    // Each refused with one message naming the value as typed.
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"add-file", "Web", "src/Bob's.tpl"}, "Bob's.tpl"},
        {{"add-file", "Web", "it's/b.tpl", "--own-source"}, "it's"},
        {{"add-file", "Web", "src/a.tpl", "--target", "out'x"}, "out'x"},
        {{"add-file", "Web", "src/a.tpl", "--ext", "ht'ml"}, "ht'ml"},
        {{"add-project", "New", "--source", "Bob's dir"}, "Bob's dir"},
        {{"add-project", "New", "--target", "x'"}, "x'"},
        {{"add-project", "New", "--ext", "'"}, "'"},
    };
    for (const auto& [args, value] : refused) {
        SCOPED_TRACE(args[2]);
        EXPECT_EQ(f.Run(args), cli::kExitFailure);
        EXPECT_EQ(f.ErrLines(), Lines{FormatMessage(MessageId::kApostropheInPath, value, "")});
        EXPECT_EQ(f.out, "");
    }
    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.OutLines(), Lines{"1\tWeb\tsrc\tout\t"});
    ASSERT_EQ(f.Run({"files", "Web"}), 0);
    EXPECT_EQ(f.out, "");

    // Without --own-source the directory is not stored: the file is taken
    // from the project's source directory under its own, plain name.
    ASSERT_EQ(f.Run({"add-file", "Web", "it's/b.tpl"}), 0) << f.err;
    ASSERT_EQ(f.Run({"files", "Web"}), 0);
    EXPECT_EQ(f.OutLines(), Lines{"1\tb.tpl\t0\t1\t1\t1\t1\t\tsrc\tout"});
}

TEST(CliHostileNames, ControlCharactersInNamesAreRefused) {
    CliFixture f;
    std::filesystem::create_directory(f.dir / "src");
    f.Write("src/a\tb.tpl", "x\n");
    ASSERT_EQ(f.Run({"add-project", "Web", "--source", "src"}), 0);
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"add-project", "Zwei\nZeilen"}, "Zwei\nZeilen"},
        {{"add-project", "New", "--target", "out\x1b"}, "out\x1b"},
        {{"add-file", "Web", "src/a\tb.tpl"}, "a\tb.tpl"},
    };
    for (const auto& [args, value] : refused) {
        EXPECT_EQ(f.Run(args), cli::kExitFailure);
        EXPECT_EQ(f.err, FormatMessage(MessageId::kControlCharacter, value, "") + "\n");
    }
    ASSERT_EQ(f.Run({"projects"}), 0);
    EXPECT_EQ(f.OutLines().size(), 1u);
}

}  // namespace
}  // namespace pellandrix
