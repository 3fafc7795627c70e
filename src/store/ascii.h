#pragma once

#include <string>
#include <string_view>

namespace pellandrix {

// Character tests for SQL texts, whose keywords and names are ASCII.
//
// The C library's versions are calls that consult the current locale, and
// the desktop program runs in the user's: under a UTF-8 locale they answer
// as these do, under a single-byte one they would also fold or count bytes
// from 0x80 up, which no keyword or column name of ours holds. These never
// look at the locale, and are cheap enough for a store that looks at every
// character of every statement it sends.

constexpr bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool IsAsciiAlnum(char c) {
    return IsAsciiDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The blanks of the "C" locale's isspace.
constexpr bool IsAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `text` with A-Z lowered; every other byte as it is.
inline std::string AsciiLowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = AsciiLower(c);
    }
    return out;
}

// Whether `text` equals `lower`, a word in lower case, ignoring the case
// of A-Z in `text`.
inline bool EqualsIgnoringCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (AsciiLower(text[i]) != lower[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace pellandrix
