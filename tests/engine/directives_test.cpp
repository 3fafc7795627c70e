#include "engine/directives.h"

#include <gtest/gtest.h>

#include "engine/template_paths.h"

namespace pellandrix {
namespace {

std::string Trimmed(std::string text) {
    TrimSymbol(text);
    return text;
}

TEST(Directives, HasTextBeforeLooksOnlyAtBlanksAndTabs) {
    EXPECT_FALSE(HasTextBefore(" \t #define", 3));
    EXPECT_TRUE(HasTextBefore(" x#define", 2));
    EXPECT_FALSE(HasTextBefore("abc", 0));
}

TEST(Directives, TrimSymbolTurnsQuotesTabsAndLineEndsIntoBlanks) {
    EXPECT_EQ(Trimmed(" \"NAME\"\n"), "NAME");
    EXPECT_EQ(Trimmed("\tNAME // comment\n"), "NAME // comment");
    EXPECT_EQ(Trimmed("A\t\"B\""), "A  B");
    EXPECT_EQ(Trimmed(" \t\n\""), " ");
    EXPECT_EQ(Trimmed(""), "");
}

TEST(Directives, ParseDefineCutsSymbolAndValue) {
    DefineParts p = ParseDefine("#define TITLE  Meine Seite  \n");
    EXPECT_EQ(p.symbol, "TITLE");
    EXPECT_EQ(p.value, "Meine Seite  ");

    p = ParseDefine("#define\tA\t\tx\ty\n");
    EXPECT_EQ(p.symbol, "A");
    EXPECT_EQ(p.value, "x y");

    p = ParseDefine("#define \"Q\" \"quoted\"\n");
    EXPECT_EQ(p.symbol, "Q");
    EXPECT_EQ(p.value, "\"quoted\"");

    p = ParseDefine("#define NAME\n");
    EXPECT_EQ(p.symbol, "NAME");
    EXPECT_EQ(p.value, "");

    // The byte behind the keyword is a separator whatever it is.
    p = ParseDefine("#defineXA 1");
    EXPECT_EQ(p.symbol, "A");
    EXPECT_EQ(p.value, "1");
}

TEST(Directives, BlankDefinesNameNothing) {
    EXPECT_TRUE(IsBlankSymbol(ParseDefine("#define \n").symbol));
    EXPECT_TRUE(IsBlankSymbol(ParseDefine("#define \t  \n").symbol));
    EXPECT_TRUE(IsBlankSymbol(ParseDefine("#define").symbol));
    EXPECT_TRUE(IsBlankSymbol(ParseDefine("#define \"\" x\n").symbol));
    EXPECT_FALSE(IsBlankSymbol(ParseDefine("#define X\n").symbol));
}

TEST(Directives, IncludeArgumentAndNameParts) {
    IncludeName n = SplitIncludeName(IncludeArgument("#include \"parts\\head.tpl\"\n"));
    EXPECT_EQ(n.directory, "parts\\");
    EXPECT_EQ(n.name, "head");
    EXPECT_EQ(n.extension, "tpl");

    n = SplitIncludeName(IncludeArgument("#include \"../css/site.v2.css\" trailing\n"));
    EXPECT_EQ(n.directory, "../css/");
    EXPECT_EQ(n.name, "site.v2");
    EXPECT_EQ(n.extension, "css");
    EXPECT_EQ(PlainIncludePath(n), "../css/site.v2.css");

    // Two blanks before the quote, or no quotes at all, still name the file.
    n = SplitIncludeName(IncludeArgument("#include  \"nav.tpl\"\n"));
    EXPECT_EQ(n.name, "nav");
    EXPECT_EQ(n.extension, "tpl");
    n = SplitIncludeName(IncludeArgument("#include foot.tpl more\n"));
    EXPECT_EQ(n.name, "foot");
    EXPECT_EQ(n.extension, "tpl");

    // No closing quote: the name ends at the line end.
    n = SplitIncludeName(IncludeArgument("#include \"x.txt\n"));
    EXPECT_EQ(PlainIncludePath(n), "x.txt");

    // No dot in the file name: the name as written, nothing appended.
    n = SplitIncludeName(IncludeArgument("#include \"..\\LICENSE\"\n"));
    EXPECT_FALSE(n.hasDot);
    EXPECT_EQ(PlainIncludePath(n), "../LICENSE");
}

TEST(TemplatePaths, BaseNameAndGeneratedPath) {
    EXPECT_EQ(TemplateBaseName("page.tpl"), "page");
    EXPECT_EQ(TemplateBaseName("a.b.tpl"), "a.b");
    EXPECT_EQ(TemplateBaseName("ab"), "ab");
    EXPECT_EQ(TemplateBaseName("x.t"), "x");
    EXPECT_EQ(GeneratedFilePath("/out", "page", "html"), "/out/page.html");
    EXPECT_EQ(GeneratedFilePath("/out", "page", ""), "/out/page.");
    EXPECT_EQ(JoinPath("", "page.tpl"), "page.tpl");
}

}  // namespace
}  // namespace pellandrix
