#include "support/fixed_text.h"

#include <gtest/gtest.h>

namespace pellandrix {
namespace {

TEST(FixedText, CutsToTheFieldWidth) {
    FixedText<5> text;
    text = "abcdefgh";
    EXPECT_EQ(text.str(), "abcd");
    text = "ab";
    EXPECT_EQ(text.str(), "ab");
    text = "abcd";
    EXPECT_EQ(text.str(), "abcd");
}

TEST(FixedText, NeverCutsInsideAUtf8Character) {
    // "aä" is 3 bytes; a width of 2 would split the umlaut.
    EXPECT_EQ(CutToWidth("a\xC3\xA4", 2), "a");
    // A three-byte character straddling the cut goes whole.
    EXPECT_EQ(CutToWidth("ab\xE2\x82\xAC", 3), "ab");
    EXPECT_EQ(CutToWidth("ab\xE2\x82\xAC", 4), "ab");
    EXPECT_EQ(CutToWidth("ab\xE2\x82\xAC", 5), "ab\xE2\x82\xAC");
    // A four-byte character cut after its third byte.
    EXPECT_EQ(CutToWidth("\xF0\x9F\x98\x80x", 3), "");
}

TEST(FixedText, SingleByteTextIsCutExactly) {
    // Windows-1252 "äöü" is three single bytes that are no UTF-8 sequence.
    EXPECT_EQ(CutToWidth("\xE4\xF6\xFC", 2), "\xE4\xF6");
    EXPECT_EQ(CutToWidth("a\xE4\xA4\xFC", 2), "a\xE4");
}

}  // namespace
}  // namespace pellandrix
