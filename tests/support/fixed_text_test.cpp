#include "support/fixed_text.h"

#include <gtest/gtest.h>

namespace pellandrix {
namespace {

std::string Repeat(std::string_view piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

TEST(FixedText, CutsToTheFieldWidth) {
    FixedText<5> text;
    text = "abcdefgh";
    EXPECT_EQ(text.str(), "abcd");
    text = "ab";
    EXPECT_EQ(text.str(), "ab");
    text = "abcd";
    EXPECT_EQ(text.str(), "abcd");
}

// A project name field holds 49 characters, however many bytes they take.
TEST(FixedText, WidthCountsCharactersNotBytes) {
    FixedText<50> name;
    name = Repeat("ü", 49);
    EXPECT_EQ(name.str(), Repeat("ü", 49));
    name = Repeat("ü", 48) + "😀x";
    EXPECT_EQ(name.str(), Repeat("ü", 48) + "😀");
    EXPECT_EQ(TextWidth(name), 49u);
    EXPECT_EQ(TextWidth(Repeat("ä€😀", 3)), 9u);
}

TEST(FixedText, NeverCutsInsideAUtf8Character) {
    EXPECT_EQ(CutToWidth("aä€😀b", 1), "a");
    EXPECT_EQ(CutToWidth("aä€😀b", 2), "aä");
    EXPECT_EQ(CutToWidth("aä€😀b", 3), "aä€");
    EXPECT_EQ(CutToWidth("aä€😀b", 4), "aä€😀");
    EXPECT_EQ(CutToWidth("😀", 0), "");
}

// Bytes that start no complete UTF-8 sequence (Windows-1252 text, a
// sequence broken off) count one character each.
TEST(FixedText, SingleByteTextCountsByteByByte) {
    EXPECT_EQ(CutToWidth("\xE4\xF6\xFC", 2), "\xE4\xF6");
    EXPECT_EQ(CutToWidth("a\xE4\xA4\xFC", 2), "a\xE4");
    EXPECT_EQ(CutToWidth("\xE2\x82ä\xA4", 3), "\xE2\x82ä");
    EXPECT_EQ(TextWidth("\xF0\x9F\x98"), 3u);
}

}  // namespace
}  // namespace pellandrix
