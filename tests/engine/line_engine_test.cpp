#include "engine/line_engine.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/template_parser.h"
#include "engine_fixture.h"
#include "support/text_file.h"
#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix {
namespace {

using testkit::EngineFixture;

std::string Msg(int id, const std::string& line) {
    return FormatMessage(static_cast<MessageId>(id), "t.tpl", line);
}

TEST(LineEngine, TextLinesAreSubstitutedDirectivesAreNeverWritten) {
    EngineFixture f;
    EXPECT_EQ(f.Process("  \t#define T Titel\n<h1>T</h1>\nx #define Y 2\nY\n"),
              "<h1>Titel</h1>\nx #define Y 2\nY\n");
    EXPECT_TRUE(f.presenter.shown.empty());
}

TEST(LineEngine, LongerNamesAreReplacedFirstAndValuesExpandedAtDefinition) {
    EngineFixture f;
    EXPECT_EQ(f.Process("#define A 1\n#define AB 2\nAB A ABC ab\n"), "2 1 2C ab\n");

    EngineFixture g;
    EXPECT_EQ(g.Process("#define X 1\n#define Y X+1\n#define X 5\nY X\n"), "1+1 5\n");

    // Text inserted by a longer name is seen by shorter names after it.
    EngineFixture h;
    EXPECT_EQ(h.Process("#define LONG S-S\n#define S s\nLONG\n"), "s-s\n");

    // A value is not rescanned for its own name.
    EngineFixture i;
    EXPECT_EQ(i.Process("#define N NN\nN.N\n"), "NN.NN\n");
}

TEST(LineEngine, RedefinitionReplacesTheValueInPlace) {
    EngineFixture f;
    f.Process("#define XY 1\n#define AB 0\n#define XY 1\n#define XY 2\n");
    ASSERT_EQ(f.defines.Count(), 2);
    EXPECT_EQ(f.defines.Entries().At(0)->name, "XY");
    EXPECT_EQ(f.defines.Entries().At(0)->value, "2");
}

TEST(LineEngine, DefineWithoutValueDeletesTheName) {
    EngineFixture f;
    EXPECT_EQ(f.Process("#define DEBUG\na DEBUG b\n#undef DEBUG\nDEBUG\n#undef NONE\n"),
              "a  b\nDEBUG\n");
    EXPECT_TRUE(f.presenter.shown.empty());
}

TEST(LineEngine, BlankDefineLeavesBlanksAlone) {
    EngineFixture f;
    EXPECT_EQ(f.Process("#define \n#define\t\t\n#define\nkeep the blanks\n"), "keep the blanks\n");
    EXPECT_EQ(f.defines.Count(), 0);
}

TEST(LineEngine, DefinesThatDoubleEachOtherStopAtTheLengthLimit) {
    // Each value holds the previous name twice: 2^25 bytes by the last one.
    std::string text = "#define D0 xx\n";
    for (int i = 1; i <= 25; ++i) {
        text += "#define D" + std::to_string(i) + " D" + std::to_string(i - 1) + "D" +
                std::to_string(i - 1) + "\n";
    }
    text += "short D3\n";
    EngineFixture f;
    const std::string out = f.Process(text);
    // D24 (2^25 bytes) would exceed the limit and is not defined, so in
    // D25's value only the shorter name D2 is found inside "D24".
    EXPECT_EQ(f.defines.Find("D23")->value.size(), 1u << 24);
    EXPECT_EQ(f.defines.Find("D24"), nullptr);
    EXPECT_EQ(f.defines.Find("D25")->value, "xxxxxxxx4xxxxxxxx4");
    EXPECT_EQ(out, "short " + std::string(16, 'x') + "\n");
    EXPECT_EQ(
        f.presenter.Texts(),
        (std::vector<std::string>{FormatMessage(MessageId::kSubstitutionTooLong, "t.tpl", "25")}));
}

TEST(LineEngine, ALineOfLongValuesStaysAsItWasInsteadOfPassingTheLimit) {
    // Z stands for 16.3 MB; three of them would make 49 MB, and a line of
    // 999 such names 16 GB, before any check after the replacement.
    const std::string text = "#define X " + std::string(980, 'x') + "\n#define Y " +
                             std::string(980, 'X') + "\n#define Z " + std::string(17, 'Y') +
                             "\nZZZ\nZ\n";
    EngineFixture f;
    const std::string out = f.Process(text);
    const std::size_t z = 17u * 980u * 980u;
    ASSERT_EQ(f.defines.Find("Z")->value.size(), z);
    EXPECT_EQ(out.size(), 4u + z + 1u);
    EXPECT_EQ(out.substr(0, 6), "ZZZ\nxx");
    EXPECT_EQ(
        f.presenter.Texts(),
        (std::vector<std::string>{FormatMessage(MessageId::kSubstitutionTooLong, "t.tpl", "4")}));
}

TEST(LineEngine, DefinitionsTogetherStopAtTheirLimit) {
    EngineFixture f;
    f.defines.LimitDefinedBytes(3000);
    const std::string k(990, 'k');
    // Four definitions of about 1 KB would pass 3,000 bytes: the fourth is
    // refused, a shorter redefinition and an #undef make room again.
    const std::string out =
        f.Process("#define A " + k + "\n#define B " + k + "\n#define C " + k + "\n#define D " + k +
                  "\n#define A a\n#define D d\n#undef B\n#define E " + k + "\nABCDE\n");
    EXPECT_EQ(out, "aB" + k + "d" + k + "\n");
    EXPECT_EQ(
        f.presenter.Texts(),
        (std::vector<std::string>{FormatMessage(MessageId::kDefinitionsTooLarge, "t.tpl", "4")}));
    EXPECT_LE(f.defines.DefinedBytes(), 3000u);
}

TEST(LineEngine, ConditionalsChooseBranches) {
    EngineFixture f;
    EXPECT_EQ(f.Process("#define ON\n#ifdef ON\na\n#else\nb\n#endif\n"
                        "#ifndef ON\nc\n#else\nd\n#endif\n"
                        "#ifndef OFF\ne\n#endif\n"
                        "#ifdef \"ON\"\nf\n#endif\n"),
              "a\nd\ne\nf\n");
    EXPECT_TRUE(f.presenter.shown.empty());
}

TEST(LineEngine, SecondElseFlipsBackAndTrailingCommentIsPartOfTheSymbol) {
    EngineFixture f;
    EXPECT_EQ(f.Process("#define ON\n#ifdef ON\n1\n#else\n2\n#else\n3\n#endif\n"
                        "#ifdef ON // on?\n4\n#else\n5\n#endif\n"),
              "1\n3\n5\n");
}

TEST(LineEngine, FalseBranchIgnoresDefineUndefAndInclude) {
    EngineFixture f;
    EXPECT_EQ(f.Process("#define K 1\n#ifdef NO\n#define A 2\n#undef K\n#include \"x.txt\"\n"
                        "hidden\n#endif\nA K\n"),
              "A 1\n");
    EXPECT_TRUE(f.includes.empty());
}

TEST(LineEngine, NestingErrorsCarryFileAndLine) {
    EngineFixture f;
    EXPECT_EQ(f.Process("#ifdef A\n#ifdef B\n#ifndef C\n#endif\nout\n#endif\n#else\n"), "out\n");
    EXPECT_EQ(f.presenter.Texts(),
              (std::vector<std::string>{Msg(3, "2"), Msg(9, "3"), Msg(7, "6"), Msg(6, "7")}));
}

TEST(LineEngine, OpenBlockAtEndIsReportedOnceAfterEverythingIsWritten) {
    EngineFixture f;
    EXPECT_EQ(f.Process("#ifndef X\nkept\n"), "kept\n");
    ASSERT_EQ(f.presenter.shown.size(), 1u);
    EXPECT_EQ(f.presenter.shown[0].text,
              "Parse-Fehler in Datei t.tpl: Dateiende erreicht und ein #endif ist nicht "
              "abgeschlossen.");
    EXPECT_EQ(f.presenter.shown[0].kind, MessageKind::Error);
}

TEST(LineEngine, IncludeIsHandedToTheCaller) {
    EngineFixture f;
    EXPECT_EQ(f.Process("a\n  #include \"head.tpl\"\nb\n"), "a\nb\n");
    ASSERT_EQ(f.includes.size(), 1u);
    EXPECT_EQ(f.includes[0], "head.tpl\"\n");
}

TEST(LineEngine, NulBytesAndHighBytesPassUnchanged) {
    EngineFixture f;
    const std::string text("#define N n\xE4\nN\0N \xC3\xA4\n", 21);
    EXPECT_EQ(f.Process(text), std::string("n\xE4\0n\xE4 \xC3\xA4\n", 10));
}

TEST(LineEngine, LongLinesCountAsSeveralLinesAndChunksCanBeDirectives) {
    testkit::TempDir dir;
    // Chunk 2 of the long line starts with "#endif": a directive of its own.
    std::string text = "#ifdef X\n" + std::string(999, 'a') + "#endif" + std::string(993, 'b') +
                       std::string(500, 'c') + "\n#endif\n";
    testkit::WriteBytes(dir / "t.tpl", text);
    EngineFixture f;
    CTextReader reader;
    ASSERT_TRUE(reader.Open(dir / "t.tpl"));
    CStringSink out;
    EngineState state;
    std::string chunk;
    std::string_view argument;
    while (reader.ReadChunk(chunk)) {
        f.engine.HandleChunk(state, "t.tpl", chunk, &out, &argument);
    }
    f.engine.Finish(state, "t.tpl");
    // Line 1 opens a false block, line 2 (999 a) is dropped, line 3 closes it,
    // line 4 (the 500 c and the line end) is written, line 5's #endif is stray.
    EXPECT_EQ(out.Text(), std::string(500, 'c') + "\n");
    EXPECT_EQ(f.presenter.Texts(), (std::vector<std::string>{Msg(7, "5")}));
}

// A template of every kind of line: defines and undefines, conditional
// blocks (some stray), lines with '#' that are and are not directives,
// indented lines, lines past the chunk length, LF, CR LF and lone CRs, and
// names standing apart and close together.
std::string MixedTemplate(std::uint32_t seed, std::size_t size) {
    std::mt19937 random(seed);
    static const char* const kNames[] = {"$TITLE", "$T", "%%NAV%%", "$TITLE_LONG", "@X@"};
    auto name = [&] { return std::string(kNames[random() % 5]); };
    std::string text;
    while (text.size() < size) {
        std::string line;
        switch (random() % 16) {
            case 0:
                line = "#define " + name() + " v" + std::to_string(random() % 9) + name();
                break;
            case 1:
                line = "#undef " + name();
                break;
            case 2:
                line = random() % 2 ? "#ifdef " + name() : "#ifndef " + name();
                break;
            case 3:
                line = random() % 2 ? "#else" : "#endif";
                break;
            case 4:
                line = std::string(random() % 4, ' ') + "\t#not a directive " + name();
                break;
            case 5:
                line = std::string(990 + random() % 20, 'w') + name();
                break;
            default:
                for (std::size_t k = random() % 6; k > 0; --k) {
                    line += std::string(random() % 4, ' ') + (random() % 3 ? name() : "<p>");
                }
        }
        const unsigned end = random() % 10;
        text += line + (end < 5 ? "\n" : end < 8 ? "\r\n" : end < 9 ? "\r" : "\r\r\n");
    }
    return text;
}

// Runs `path` through a fresh engine, either chunk by chunk or, as the
// template parser does, with plain text lines taken by the bufferful.
std::pair<std::string, std::vector<std::string>> RunFile(const std::string& path,
                                                         bool byTheBufferful) {
    EngineFixture f;
    CTextReader reader;
    EXPECT_TRUE(reader.Open(path));
    CStringSink out;
    EngineState state;
    std::string_view chunk;
    std::string_view argument;
    for (;;) {
        if (byTheBufferful) {
            const std::size_t taken =
                f.engine.HandleTextLines(state, "t.tpl", reader.Ahead(), &out);
            if (taken != 0) {
                reader.Consume(taken);
                continue;
            }
        }
        if (!reader.ReadChunk(&chunk)) {
            break;
        }
        f.engine.HandleChunk(state, "t.tpl", chunk, &out, &argument);
    }
    f.engine.Finish(state, "t.tpl");
    return {out.Text(), f.presenter.Texts()};
}

TEST(LineEngine, TextLinesTakenByTheBufferfulComeOutAsChunkByChunk) {
    testkit::TempDir dir;
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        // Several read buffers long, so that lines straddle their ends.
        testkit::WriteBytes(dir / "t.tpl", MixedTemplate(seed, 300 * 1024));
        const auto chunkwise = RunFile(dir / "t.tpl", false);
        const auto bufferwise = RunFile(dir / "t.tpl", true);
        EXPECT_EQ(bufferwise.first, chunkwise.first);
        EXPECT_EQ(bufferwise.second, chunkwise.second);
        // The template must make both output and messages with line numbers.
        EXPECT_GT(chunkwise.first.size(), 100000u);
        EXPECT_GT(chunkwise.second.size(), 100u);
    }
}

}  // namespace
}  // namespace pellandrix
