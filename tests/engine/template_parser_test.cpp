#include "engine/template_parser.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "project_fixture.h"
#include "support/text_file.h"

namespace pellandrix {
namespace {

using testkit::kDone;
using testkit::kInProgress;
using testkit::ProjectFixture;

TEST(ProcessTemplate, WritesTheGeneratedFileWithCrLf) {
    ProjectFixture p;
    CTplFileRecord& page = p.Add("page.tpl", "#define T Hallo\n<p>T</p>\r\nend");
    EXPECT_TRUE(p.parser.ProcessTemplate(page));
    EXPECT_EQ(p.Out("page.html"), "<p>Hallo</p>\r\nend");
    EXPECT_EQ(page.RunStatus, kDone);
}

TEST(ProcessTemplate, EmptyExtensionLeavesATrailingDot) {
    ProjectFixture p;
    CTplFileRecord& page = p.Add("page.tpl", "x\n");
    page.CreateFileExt = "";
    EXPECT_TRUE(p.parser.ProcessTemplate(page));
    EXPECT_EQ(p.Out("page."), "x\r\n");
}

TEST(ProcessTemplate, MissingTemplateReturnsFalseAndCreatesNothing) {
    ProjectFixture p;
    CTplFileRecord& page = p.Add("gone.tpl", nullptr);
    EXPECT_FALSE(p.parser.ProcessTemplate(page));
    EXPECT_FALSE(p.OutExists("gone.html"));
    EXPECT_EQ(page.RunStatus, 0);
    EXPECT_TRUE(p.presenter.shown.empty());
}

TEST(ProcessTemplate, PlainIncludesAreCopiedVerbatim) {
    ProjectFixture p;
    testkit::WriteBytes(p.dir / "snippet.css", "#define X 1\r\nX body {}\n");
    CTplFileRecord& page = p.Add(
        "page.tpl", ("#define X 2\n#include \"" + (p.dir / "snippet.css") + "\"\nX\n").c_str());
    p.parser.ProcessTemplate(page);
    EXPECT_EQ(p.Out("page.html"), "#define X 1\r\nX body {}\r\n2\r\n");
}

TEST(ProcessTemplate, PlainIncludeResolvesAgainstTheCurrentDirectoryWithBackslashes) {
    ProjectFixture p;
    std::filesystem::create_directory(p.dir / "inc");
    testkit::WriteBytes(p.dir / "inc/a.txt", "A");
    testkit::ScopedCurrentDir cwd(p.dir.Path());
    CTplFileRecord& page = p.Add("page.tpl",
                                 "#include \"inc\\a.txt\"\n#include \"inc/a.txt\"\n"
                                 "#include \"missing.txt\"\n#include \"A.TPL\"\n");
    p.parser.ProcessTemplate(page);
    EXPECT_EQ(p.Out("page.html"), "AA");
    EXPECT_TRUE(p.presenter.shown.empty());
}

TEST(ProcessTemplate, TemplateIncludesShareTheDefineTable) {
    ProjectFixture p;
    CTplFileRecord& head =
        p.Add("head.tpl", "<title>TITLE</title>\n#define FOOT (c) 2026\n", false);
    CTplFileRecord& page =
        p.Add("page.tpl", "#define TITLE Start\n#include \"any/dir\\head.tpl\"\nFOOT\n");
    p.parser.ProcessTemplate(page);
    EXPECT_EQ(p.Out("page.html"), "<title>Start</title>\r\n(c) 2026\r\n");
    EXPECT_EQ(p.Out("head.html"), "<title>Start</title>\r\n");
    EXPECT_EQ(head.RunStatus, kDone);
}

TEST(ProcessTemplate, IncludedTextIsInsertedByteForByteAsItsFileHolds) {
    // Lone and doubled carriage returns and a NUL, small and past the
    // writer's memory limit, new and unchanged.
    const std::string odd("a\rb\r\r\nc\0d\r", 10);
    for (const std::string& text : {odd, odd + std::string(kWriterMemoryLimit, 'x')}) {
        ProjectFixture p;
        testkit::WriteBytes(p.src + "/head.tpl", text);
        p.Add("head.tpl", nullptr, false);
        CTplFileRecord& page = p.Add("page.tpl", "#include \"head.tpl\"\nend\n");
        for (int round = 0; round < 2; ++round) {
            p.parser.ProcessTemplate(page);
            ASSERT_EQ(p.Out("page.html"), p.Out("head.html") + "end\r\n");
        }
        EXPECT_EQ(p.Out("head.html").substr(0, 10), odd);  // the reader's CR LF, written back
    }
}

TEST(ProcessTemplate, DoneTemplateWithoutAlwaysParseIsInsertedAsItIs) {
    ProjectFixture p;
    CTplFileRecord& head = p.Add("head.tpl", "T\n", false);
    head.AlwaysParse = 0;
    CTplFileRecord& page = p.Add("page.tpl", "#define T new\n#include \"head.tpl\"\n");
    p.parser.ProcessTemplate(head);
    ASSERT_EQ(p.Out("head.html"), "T\r\n");
    p.parser.Defines().Clear();
    p.parser.ProcessTemplate(page);
    EXPECT_EQ(p.Out("page.html"), "T\r\n");

    // With AlwaysParse it is generated again with the names now defined.
    head.AlwaysParse = 1;
    p.parser.Defines().Clear();
    p.parser.ProcessTemplate(page);
    EXPECT_EQ(p.Out("page.html"), "new\r\n");
    EXPECT_EQ(p.Out("head.html"), "new\r\n");
}

TEST(ProcessTemplate, IncludingATemplateThatHadItsOwnPassMarksItAgain) {
    ProjectFixture p;
    CTplFileRecord& head = p.Add("head.tpl", "h\n");
    CTplFileRecord& page = p.Add("page.tpl", "#include \"head.tpl\"\n");
    head.StandaloneDone = 1;
    head.RunStatus = kDone;
    p.parser.ProcessTemplate(page);
    EXPECT_EQ(head.StandaloneDone, 0);
    EXPECT_EQ(head.RunStatus, kInProgress);
    EXPECT_EQ(p.view.events, (std::vector<std::string>{"row 0"}));
    EXPECT_EQ(p.Out("page.html"), "h\r\n");

    // A second include generates it again (AlwaysParse) and leaves it Done.
    head.StandaloneDone = 1;
    CTplFileRecord& twice = p.Add("twice.tpl", "#include \"head.tpl\"\n#include \"head.tpl\"\n");
    p.parser.ProcessTemplate(twice);
    EXPECT_EQ(p.Out("twice.html"), "h\r\nh\r\n");
    EXPECT_EQ(head.RunStatus, kDone);
    EXPECT_EQ(head.StandaloneDone, 0);
}

TEST(ProcessTemplate, UnknownAndCapitalisedTemplateNamesInsertNothing) {
    ProjectFixture p;
    p.Add("head.tpl", "h\n");
    CTplFileRecord& page = p.Add("page.tpl", "#include \"nohead.tpl\"\n#include \"head.TPL\"\nx\n");
    p.parser.ProcessTemplate(page);
    EXPECT_EQ(p.Out("page.html"), "x\r\n");
    EXPECT_FALSE(p.OutExists("head.html"));
}

TEST(ProcessTemplate, MissingTargetStillGeneratesIncludedTemplates) {
    ProjectFixture p;
    CTplFileRecord& head = p.Add("head.tpl", "#define N 1\nh\n", false);
    CTplFileRecord& page = p.Add("page.tpl", "#include \"head.tpl\"\n#ifdef M\n");
    page.TargetPath = p.dir / "missing";
    EXPECT_TRUE(p.parser.ProcessTemplate(page));
    EXPECT_EQ(p.Out("head.html"), "h\r\n");
    EXPECT_EQ(head.RunStatus, kDone);
    EXPECT_EQ(page.RunStatus, 0);
    EXPECT_NE(p.parser.Defines().Find("N"), nullptr);
    EXPECT_EQ(p.presenter.shown.size(), 1u);  // the open #ifdef
    EXPECT_FALSE(testkit::Exists(p.dir / "missing"));
}

TEST(ProcessTemplate, IncludeCycleIsReportedAndSkipped) {
    ProjectFixture p;
    p.Add("a.tpl", "a1\n#include \"b.tpl\"\na2\n", false);
    p.Add("b.tpl", "b1\n#include \"a.tpl\"\nb2\n", false);
    CTplFileRecord& self = p.Add("self.tpl", "s\n#include \"self.tpl\"\n");
    EXPECT_TRUE(p.parser.ProcessTemplate(*p.parser.Files().FindByName("a.tpl")));
    EXPECT_EQ(p.Out("a.html"), "a1\r\nb1\r\nb2\r\na2\r\n");
    EXPECT_EQ(p.Out("b.html"), "b1\r\nb2\r\n");
    p.parser.ProcessTemplate(self);
    EXPECT_EQ(p.Out("self.html"), "s\r\n");
    EXPECT_EQ(p.presenter.Texts(),
              (std::vector<std::string>{FormatMessage(MessageId::kIncludeCycle, "b.tpl", "2"),
                                        FormatMessage(MessageId::kIncludeCycle, "self.tpl", "2")}));
}

TEST(ProcessTemplate, DeepIncludeChainsNeitherOverflowNorRunOutOfFiles) {
    ProjectFixture p;
    const int depth = 3000;  // far beyond the default limit of open files
    for (int i = 0; i < depth; ++i) {
        const std::string next = "#include \"t" + std::to_string(i + 1) + ".tpl\"\n";
        p.Add("t" + std::to_string(i) + ".tpl",
              (std::to_string(i) + "\n" + (i + 1 < depth ? next : "")).c_str(), i == 0);
    }
    EXPECT_TRUE(p.parser.ProcessTemplate(*p.parser.Files().FindByName("t0.tpl")));
    const std::string top = p.Out("t0.html");
    EXPECT_EQ(top.substr(0, 9), "0\r\n1\r\n2\r\n");
    EXPECT_EQ(top.substr(top.size() - 6), "2999\r\n");
    EXPECT_EQ(p.Out("t2998.html"), "2998\r\n2999\r\n");
}

TEST(ProcessTemplate, WriteFailureIsReportedAndIncludersGetNoStaleText) {
    ProjectFixture p;
    CTplFileRecord& head = p.Add("head.tpl", "new head\n", false);
    CTplFileRecord& page = p.Add("page.tpl", "#include \"head.tpl\"\nbody\n");
    p.TargetDevices();
    std::filesystem::create_symlink("/dev/full", p.out + "/head.html");
    EXPECT_TRUE(p.parser.ProcessTemplate(page));
    EXPECT_EQ(p.Out("page.html"), "body\r\n");
    EXPECT_NE(head.RunStatus, kDone);
    ASSERT_EQ(p.presenter.shown.size(), 1u);
    EXPECT_EQ(p.presenter.shown[0].text,
              FormatMessage(MessageId::kWriteFailed, p.out + "/head.html", ""));
}

TEST(ProcessTemplate, WriteProtectedPageIsLeftAlone) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write anything";
    }
    ProjectFixture p;
    CTplFileRecord& page = p.Add("page.tpl", "new\n");
    testkit::WriteBytes(p.out + "/page.html", "old");
    ::chmod((p.out + "/page.html").c_str(), 0444);
    p.parser.ProcessTemplate(page);
    EXPECT_EQ(p.Out("page.html"), "old");
}

}  // namespace
}  // namespace pellandrix
