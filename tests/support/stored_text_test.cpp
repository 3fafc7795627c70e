#include "support/stored_text.h"

#include <gtest/gtest.h>

namespace pellandrix {
namespace {

// Every way into the database asks this one rule, so its table is the
// whole of what may be stored.
TEST(StoredText, WhatNoRecordMayHoldIsRefusedInItsRole) {
    using R = TextRole;
    const std::optional<MessageId> ok;
    const auto control = MessageId::kControlCharacter;
    const auto notUtf8 = MessageId::kTextNotUtf8;
    const auto folder = MessageId::kNotAFileName;
    const struct {
        std::string_view text;
        TextRole role;
        std::optional<MessageId> refusal;
    } cases[] = {
        {"Über uns/Peter's Seite %s", R::kName, ok},
        {"\xf0\x9f\x8d\x9e ok.tpl", R::kFileName, ok},  // U+1F35E, four bytes
        {"a\tb", R::kName, control},
        {std::string_view("a\0b", 3), R::kFolder, control},
        {"a\x7f", R::kFolder, control},
        {"a\xc2\x85", R::kName, control},           // C1: next line
        {"a\xc2\x9b[2J", R::kName, control},        // C1: a terminal's command start
        {"a\xe2\x80\xa8z", R::kFolder, control},    // line separator
        {"a\xe2\x80\xa9z", R::kFileName, control},  // paragraph separator
        {"\xc2\xa0ok", R::kName, ok},               // no-break space: printable
        {"a\xff.tpl", R::kFileName, notUtf8},
        {"caf\xe9", R::kFolder, notUtf8},         // Latin-1
        {"\xc0\xaf", R::kName, notUtf8},          // overlong "/"
        {"\xed\xa0\x80", R::kName, notUtf8},      // a surrogate
        {"\xe2\x80", R::kName, notUtf8},          // cut short
        {"\xf4\x90\x80\x80", R::kName, notUtf8},  // beyond U+10FFFF
        {"../a.tpl", R::kFileName, folder},
        {"sub/a.tpl", R::kFileName, folder},
        {"..", R::kFileName, folder},
        {"", R::kFileName, folder},
        {"../../x", R::kExtension, folder},
        {"", R::kExtension, ok},
        {"../a", R::kFolder, ok},
        {"a/b", R::kName, ok},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextRefusal(c.text, c.role), c.refusal) << c.text;
    }
}

// A message quotes a refused value with every character the rule refuses
// escaped, and nothing else changed.
TEST(StoredText, ShownTextEscapesWhatWouldReachATerminalRaw) {
    EXPECT_EQ(ShownText("a\tb\nc\rd\x1b[2J\x7f"), "a\\tb\\nc\\rd\\x1b[2J\\x7f");
    EXPECT_EQ(ShownText("a\xc2\x85\xc2\x9b\xe2\x80\xa8\xe2\x80\xa9z"),
              "a\\x85\\x9b\\u2028\\u2029z");
    EXPECT_EQ(ShownText("caf\xe9 \xe2\x80"), "caf\\xe9 \\xe2\\x80");  // not UTF-8: each byte
    EXPECT_EQ(ShownText(std::string_view("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(ShownText("Über D:\\out \xc2\xa0\xf0\x9f\x8d\x9e"),
              "Über D:\\out \xc2\xa0\xf0\x9f\x8d\x9e");
    for (const std::string_view refused : {"a\tb", "a\xc2\x85", "a\xe2\x80\xa8", "caf\xe9"}) {
        EXPECT_EQ(TextRefusal(ShownText(refused), TextRole::kName), std::nullopt) << refused;
    }
}

}  // namespace
}  // namespace pellandrix
