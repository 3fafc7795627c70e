#include "engine/generation_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "project_fixture.h"

namespace pellandrix {
namespace {

using testkit::kDone;
using testkit::ProjectFixture;

TEST(GenerationRun, NothingSelectedStillCleansUp) {
    ProjectFixture p;
    CTplFileRecord& a = p.Add("a.tpl", "a\n", false);
    a.CreateFile = 0;
    p.Add("b.tpl", "b\n", false);
    testkit::WriteBytes(p.out + "/a.html", "stale");
    testkit::WriteBytes(p.out + "/b.html", "kept");
    RunGeneration(p.parser, p.view);
    EXPECT_FALSE(p.OutExists("a.html"));
    EXPECT_EQ(p.Out("b.html"), "kept");
    EXPECT_EQ(p.view.events,
              (std::vector<std::string>{"item0", "range 1 2", "pos 1", "pos 0", "pos 0", "pos 1",
                                        "pos 2", "pos 3", "pos 4", "pos 1", "buttons"}));
}

TEST(GenerationRun, StatusesAndProgressFollowEveryPass) {
    ProjectFixture p;
    p.Add("a.tpl", "a\n");
    p.Add("b.tpl", "b\n", false);
    p.Add("c.tpl", nullptr);  // missing source: "Fehler", no file
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.view.events, (std::vector<std::string>{
                                 "row 0", "row 2", "item0", "range 1 4", "pos 1", "row 0",  "row 0",
                                 "pos 1", "pos 1", "row 2", "row 2",     "pos 2", "pos 3",  "pos 4",
                                 "pos 5", "pos 6", "pos 7", "pos 8",     "pos 1", "buttons"}));
    EXPECT_EQ(p.parser.Files().FindByName("c.tpl")->RunStatus, static_cast<int>(RunStatus::Failed));
    EXPECT_EQ(p.presenter.Texts(), std::vector<std::string>{FormatMessage(
                                       MessageId::kTemplateUnreadable, p.src + "/c.tpl", "")});
    EXPECT_FALSE(p.OutExists("c.html"));
    EXPECT_EQ(p.parser.Files().FindByName("b.tpl")->RunStatus, 0);
    EXPECT_FALSE(p.OutExists("b.html"));
}

TEST(GenerationRun, SelectedEntryWithoutCreateFileIsDoneButLeavesNoFile) {
    ProjectFixture p;
    CTplFileRecord& part = p.Add("part.tpl", "#define X 1\npart X\n");
    part.CreateFile = 0;
    p.Add("page.tpl", "#include \"part.tpl\"\nX\n");
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(part.RunStatus, kDone);
    EXPECT_FALSE(p.OutExists("part.html"));
    EXPECT_EQ(p.Out("page.html"), "part 1\r\n1\r\n");
}

TEST(GenerationRun, IncludedTemplateEndsWithItsOwnText) {
    // B before A, A includes B and defines what B uses.
    ProjectFixture p;
    p.Add("b.tpl", "B says NAME\n");
    p.Add("a.tpl", "#define NAME a\n#include \"b.tpl\"\n");
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("b.html"), "B says NAME\r\n");
    EXPECT_EQ(p.Out("a.html"), "B says a\r\n");
}

TEST(GenerationRun, WithoutAlwaysParseTheFirstFileIsInserted) {
    ProjectFixture p;
    CTplFileRecord& b = p.Add("b.tpl", "B says NAME\n");
    b.AlwaysParse = 0;
    p.Add("a.tpl", "#define NAME a\n#include \"b.tpl\"\n");
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("b.html"), "B says NAME\r\n");
    EXPECT_EQ(p.Out("a.html"), "B says NAME\r\n");
}

TEST(GenerationRun, NestedIncludesLeaveEveryPageWithItsOwnText) {
    // List order Y, X, Z; Z includes X, X includes Y: the regeneration of X
    // overwrites Y after the pass has passed Y.
    ProjectFixture p;
    CTplFileRecord& y = p.Add("y.tpl", "Y:WHO\n");
    CTplFileRecord& x = p.Add("x.tpl", "#ifndef WHO\n#define WHO x\n#endif\n#include \"y.tpl\"\n");
    CTplFileRecord& z = p.Add("z.tpl", "#define WHO z\n#include \"x.tpl\"\n");
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("y.html"), "Y:WHO\r\n");
    EXPECT_EQ(p.Out("x.html"), "Y:x\r\n");
    EXPECT_EQ(p.Out("z.html"), "Y:z\r\n");
    for (const CTplFileRecord* e : {&y, &x, &z}) {
        EXPECT_EQ(e->RunStatus, kDone) << e->TPLFileName.str();
        EXPECT_EQ(e->StandaloneDone, 1);
    }
    EXPECT_EQ(p.view.positions.back(), 1);
    // Y was written again and again, through kept spares, which are gone.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(p.out),
                            std::filesystem::directory_iterator()),
              3);
}

std::string Include(const std::string& name) {
    return "#include \"" + name + "\"\n";
}

TEST(GenerationRun, AnIncludedTemplateChangedDuringTheRunIsReadAnew) {
    // The piece is read from memory while its file is as it was; it is
    // saved anew, a little longer, when the third page starts.
    struct EditingView : testkit::RecordingView {
        std::function<void(int)> onRow;
        void RefreshRowStatus(int row) override {
            RecordingView::RefreshRowStatus(row);
            onRow(row);
        }
    } view;
    ProjectFixture p;
    p.parser.Context().Copies().SetSettledNs(0);
    p.Add("piece.tpl", "old WHO\n", false);
    for (const char* page : {"a", "b", "c"}) {
        p.Add(std::string(page) + ".tpl",
              ("#define WHO " + std::string(page) + "\n" + Include("piece.tpl")).c_str());
    }
    bool saved = false;
    const CTplFileRecord& third = *p.parser.Files().FindByName("c.tpl");
    view.onRow = [&](int row) {
        if (row == third.ListRow && third.RunStatus == static_cast<int>(RunStatus::InProgress) &&
            !saved) {
            saved = true;
            testkit::WriteBytes(p.src + "/piece.tpl", "newer WHO\n");
        }
    };
    RunGeneration(p.parser, view);
    EXPECT_TRUE(saved);
    EXPECT_EQ(p.Out("b.html"), "old b\r\n");
    EXPECT_EQ(p.Out("c.html"), "newer c\r\n");
}

TEST(GenerationRun, AGeneratedFileReadDuringTheRunHoldsTheTextLastGeneratedForIt) {
    // Every page generates the piece anew with its own name. Later pages
    // read the piece's file: through a template that is a link to it
    // (dangling when the run began) and as a plain file.
    ProjectFixture p;
    p.Add("piece.tpl", "piece of WHO\n", false).CreateFile = 0;
    p.Add("a.tpl", ("#define WHO a\n" + Include("piece.tpl")).c_str());
    p.Add("b.tpl", ("#define WHO b\n" + Include("piece.tpl")).c_str());
    std::filesystem::create_symlink(p.out + "/piece.html", p.src + "/link.tpl");
    p.Add("link.tpl", nullptr);
    p.Add("c.tpl", ("#define WHO c\n" + Include("piece.tpl")).c_str());
    p.Add("copy.tpl", Include(p.out + "/piece.html").c_str());
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("b.html"), "piece of b\r\n");
    EXPECT_EQ(p.Out("link.html"), "piece of b\r\n");
    EXPECT_EQ(p.Out("copy.html"), "piece of c\r\n");
    EXPECT_TRUE(p.presenter.Texts().empty());
    // The piece is deleted at the end, and no spare is left beside it.
    EXPECT_FALSE(p.OutExists("piece.html"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(p.out),
                            std::filesystem::directory_iterator()),
              5);
}

TEST(GenerationRun, ChainListedLeafFirstEndsWithEveryPageItsOwnTextAfterOneMorePass) {
    // t0 includes t1 ... includes t11; each page defines TOP unless its
    // includer did, so a page shows whose text it holds.
    ProjectFixture p;
    const int n = 12;
    for (int i = n - 1; i >= 0; --i) {
        const std::string tail = i + 1 < n ? Include("t" + std::to_string(i + 1) + ".tpl") : "";
        p.Add("t" + std::to_string(i) + ".tpl", ("#ifndef TOP\n#define TOP " + std::to_string(i) +
                                                 "\n#endif\n" + tail + std::to_string(i) + ":TOP\n")
                                                    .c_str());
    }
    RunGeneration(p.parser, p.view);
    for (int i = 0; i < n; ++i) {
        std::string own;
        for (int j = n - 1; j >= i; --j) {
            own += std::to_string(j) + ":" + std::to_string(i) + "\r\n";
        }
        EXPECT_EQ(p.Out("t" + std::to_string(i) + ".html"), own);
        EXPECT_EQ(p.parser.Files().FindByName("t" + std::to_string(i) + ".tpl")->RunStatus, kDone);
    }
    // The bar moves in the generation, regeneration and clean-up passes
    // only; the pass in include order adds nothing to it.
    EXPECT_EQ(*std::max_element(p.view.positions.begin(), p.view.positions.end()), n + 2 * n);
}

TEST(GenerationRun, IncludeCycleIsReportedOncePerLineAndPassAndNoPageStaysInProgress) {
    ProjectFixture p;
    const int n = 10;
    for (int i = 0; i < n; ++i) {
        p.Add("c" + std::to_string(i) + ".tpl",
              (std::to_string(i) + "\n" + Include("c" + std::to_string((i + 1) % n) + ".tpl"))
                  .c_str());
    }
    RunGeneration(p.parser, p.view);
    // Three passes (generation, regeneration, the ordered one), each
    // reporting a closing #include line at most once.
    std::map<std::string, int> times;
    for (const std::string& text : p.presenter.Texts()) {
        EXPECT_LE(++times[text], 3) << text;
    }
    EXPECT_LE(times.size(), static_cast<std::size_t>(n));
    // "fertig" only for a page that holds its own text; the cycle leaves the
    // others "Fehler".
    for (int i = 0; i < n; ++i) {
        std::string own;
        for (int j = 0; j < n; ++j) {
            own += std::to_string((i + j) % n) + "\r\n";
        }
        const CTplFileRecord& e = *p.parser.Files().FindByName("c" + std::to_string(i) + ".tpl");
        EXPECT_EQ(e.RunStatus, p.Out("c" + std::to_string(i) + ".html") == own
                                   ? kDone
                                   : static_cast<int>(RunStatus::Failed))
            << i;
    }
    EXPECT_EQ(p.view.events.back(), "buttons");
}

// A page is made again in the pass in include order only when its file does
// not hold its own text, judged by the bytes: an include that put other text
// there and a later one that put the page's own text back leave it alone,
// inside an include cycle as well.
TEST(GenerationRun, APageWhoseFileHoldsItsOwnTextAgainIsNotMadeAgainNorFailed) {
    {
        ProjectFixture p;
        p.Add("z.tpl", "z L\n#endif\n");
        p.Add("a.tpl", Include("z.tpl").c_str());
        p.Add("b.tpl", ("#define L ell\n" + Include("a.tpl")).c_str());
        p.Add("p.tpl", Include("b.tpl").c_str());
        RunGeneration(p.parser, p.view);
        EXPECT_EQ(p.presenter.Texts().size(), 8u);
        EXPECT_EQ(p.Out("z.html"), "z L\r\n");
        EXPECT_EQ(p.Out("a.html"), "z L\r\n");
        EXPECT_EQ(p.Out("b.html"), "z ell\r\n");
        EXPECT_EQ(p.Out("p.html"), "z ell\r\n");
        for (const CTplFileRecord& e : p.parser.Files().Records()) {
            EXPECT_EQ(e.RunStatus, kDone) << e.TPLFileName.str();
        }
    }
    ProjectFixture p;
    p.Add("n.tpl", ("n X\n" + Include("c.tpl")).c_str());
    p.Add("c.tpl", Include("n.tpl").c_str());
    p.Add("d.tpl", ("#define X dx\n" + Include("n.tpl")).c_str());
    p.Add("e.tpl", Include("d.tpl").c_str());
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("n.html"), "n X\r\n");
    EXPECT_EQ(p.Out("c.html"), "n X\r\n");
    EXPECT_EQ(p.Out("d.html"), "n dx\r\n");
    EXPECT_EQ(p.Out("e.html"), "n dx\r\n");
    for (const CTplFileRecord& e : p.parser.Files().Records()) {
        EXPECT_EQ(e.RunStatus, kDone) << e.TPLFileName.str();
    }
}

TEST(GenerationRun, DeletedEntriesAreSkippedEverywhere) {
    ProjectFixture p;
    CTplFileRecord& gone = p.Add("gone.tpl", "g\n");
    gone.Deleted = 1;
    gone.CreateFile = 0;
    testkit::WriteBytes(p.out + "/gone.html", "left alone");
    p.Add("page.tpl", "#include \"gone.tpl\"\np\n");
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("page.html"), "p\r\n");
    EXPECT_EQ(p.Out("gone.html"), "left alone");
    EXPECT_EQ(gone.RunStatus, 0);
}

TEST(GenerationRun, EachTopLevelTemplateStartsWithNoNames) {
    ProjectFixture p;
    p.Add("a.tpl", "#define LEAK yes\n");
    p.Add("b.tpl", "LEAK\n");
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("b.html"), "LEAK\r\n");
}

}  // namespace
}  // namespace pellandrix
