// Templates built to hurt: long include cycles and chains, huge define
// tables, odd line ends and odd file names. Each must end, in bounded time,
// with the text the rules give.
#include <gtest/gtest.h>

#include <string>

#include "engine/generation_run.h"
#include "project_fixture.h"

namespace pellandrix {
namespace {

using testkit::ProjectFixture;

std::string Include(const std::string& name) {
    return "#include \"" + name + "\"\n";
}

TEST(HostileTemplates, CycleOfFiftyEndsTheRunAndIsReportedWhereItCloses) {
    ProjectFixture p;
    const int length = 50;
    for (int i = 0; i < length; ++i) {
        const std::string next = "c" + std::to_string((i + 1) % length) + ".tpl";
        p.Add("c" + std::to_string(i) + ".tpl", (std::to_string(i) + "\n" + Include(next)).c_str(),
              i == 0);
    }
    RunGeneration(p.parser, p.view);
    // c0 includes c1 ... c49, whose include of c0 closes the cycle.
    ASSERT_EQ(p.presenter.Texts(),
              std::vector<std::string>{FormatMessage(MessageId::kIncludeCycle, "c49.tpl", "2")});
    const std::string top = p.Out("c0.html");
    EXPECT_EQ(top.substr(0, 6), "0\r\n1\r\n");
    EXPECT_EQ(top.substr(top.size() - 4), "49\r\n");
    EXPECT_EQ(p.Out("c49.html"), "49\r\n");
}

// Every level of an include chain copies all the text below it, so the time
// grows with the square of the depth: 10,000 levels take seconds in a normal
// build and about three minutes under AddressSanitizer, where 2,000 levels
// stand in for them.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kChainDepth = 2000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kChainDepth = 2000;
#else
constexpr int kChainDepth = 10000;
#endif
#else
constexpr int kChainDepth = 10000;
#endif

TEST(HostileTemplates, DeepChainThatClosesIntoACycle) {
    ProjectFixture p;
    const int depth = kChainDepth;
    for (int i = 0; i < depth; ++i) {
        const std::string next = "t" + std::to_string((i + 1) % depth) + ".tpl";
        p.Add("t" + std::to_string(i) + ".tpl", (Include(next) + std::to_string(i) + "\n").c_str(),
              false);
    }
    EXPECT_TRUE(p.parser.ProcessTemplate(*p.parser.Files().FindByName("t0.tpl")));
    const std::string top = p.Out("t0.html");
    EXPECT_EQ(top.substr(0, top.find('\n') + 1), std::to_string(depth - 1) + "\r\n");
    EXPECT_EQ(top.substr(top.size() - 3), "0\r\n");
    EXPECT_EQ(p.presenter.shown.size(), 1u);
}

TEST(HostileTemplates, HundredThousandDefinesStillReplaceLongestFirst) {
    ProjectFixture p;
    std::string text;
    const int count = 100000;
    // Longest names first: every entry then joins the table at its end. In
    // the other order each insertion moves the whole table, which takes
    // minutes under the sanitizers.
    for (int i = count - 1; i >= 0; --i) {
        text += "#define N" + std::to_string(i) + " <" + std::to_string(i) + ">\n";
    }
    text += "N0 N99999 N12345x N1000000\n#undef N99999\nN99999\n";
    p.Add("many.tpl", text.c_str());
    RunGeneration(p.parser, p.view);
    // N1000000 is N100000 (undefined) + "0"... which holds N10000: the
    // longest defined name that occurs wins.
    EXPECT_EQ(p.Out("many.html"), "<0> <99999> <12345>x <10000>00\r\n<9999>9\r\n");
}

TEST(HostileTemplates, LoneCarriageReturnsAndNulBytesPassThrough) {
    ProjectFixture p;
    const std::string text("a\rX\r\n#define X y\rz\nX\0X\r\rend", 27);
    p.Add("cr.tpl", text.c_str());
    testkit::WriteBytes(p.src + "/cr.tpl", text);
    RunGeneration(p.parser, p.view);
    // "#define X y\rz": the value keeps its carriage return.
    EXPECT_EQ(p.Out("cr.html"), std::string("a\rX\r\ny\rz\0y\rz\r\rend", 17));
}

TEST(HostileTemplates, FileNamesWithBlanksQuotesAndUmlautsAreWrittenAsNamed) {
    ProjectFixture p;
    p.Add("Über uns 'neu' 100%.tpl", "#include \"Kopf & Fuß.tpl\"\nText\n");
    p.Add("Kopf & Fuß.tpl", "Kopf\n", false);
    RunGeneration(p.parser, p.view);
    EXPECT_EQ(p.Out("Über uns 'neu' 100%.html"), "Kopf\r\nText\r\n");
    EXPECT_EQ(p.Out("Kopf & Fuß.html"), "Kopf\r\n");
}

}  // namespace
}  // namespace pellandrix
