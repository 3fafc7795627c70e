#include "support/stored_text.h"

#include <cstdint>

namespace pellandrix {

namespace {

// The length of the UTF-8 sequence starting at `text[at]` and the code
// point it encodes; length 0 when the bytes there are not UTF-8 (a stray
// continuation byte, an overlong form, a surrogate, beyond U+10FFFF or cut
// short).
struct CodePoint {
    std::size_t length = 0;
    std::uint32_t value = 0;
};

CodePoint DecodeAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return {1, lead};
    }
    const std::size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 0;
    if (length == 0 || lead > 0xf4 || at + length > text.size()) {
        return {};
    }
    std::uint32_t value = lead & (0x7f >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xc0) != 0x80) {
            return {};
        }
        value = (value << 6) | (next & 0x3f);
    }
    constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) {
        return {};
    }
    return {length, value};
}

// A tab, line feed or other control character would break the one-line
// messages and the line-per-record output of the command line, and C1
// codes and the Unicode line separators do the same in terminals and
// editors; no file name a user means holds one.
bool IsControl(std::uint32_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

// A file name or extension with a "/" in it (or a name of "." or "..")
// would put the page, or the template looked for, in another folder.
bool NamesAnotherFolder(std::string_view text, TextRole role) {
    if (role == TextRole::kFileName) {
        return text.empty() || text == "." || text == ".." ||
               text.find('/') != std::string_view::npos;
    }
    return role == TextRole::kExtension && text.find('/') != std::string_view::npos;
}

std::string Escape(std::uint32_t c) {
    switch (c) {
        case '\t':
            return "\\t";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        default:
            break;
    }
    constexpr char kHex[] = "0123456789abcdef";
    std::string escape = c < 0x100 ? "\\x" : "\\u";
    for (int shift = c < 0x100 ? 4 : 12; shift >= 0; shift -= 4) {
        escape += kHex[(c >> shift) & 0xf];
    }
    return escape;
}

}  // namespace

std::string ShownText(std::string_view text) {
    std::string shown;
    for (std::size_t at = 0; at < text.size();) {
        const CodePoint c = DecodeAt(text, at);
        if (c.length == 0) {
            shown += Escape(static_cast<unsigned char>(text[at]));
            ++at;
            continue;
        }
        if (IsControl(c.value)) {
            shown += Escape(c.value);
        } else {
            shown.append(text, at, c.length);
        }
        at += c.length;
    }
    return shown;
}

std::optional<MessageId> TextRefusal(std::string_view text, TextRole role) {
    for (std::size_t at = 0; at < text.size();) {
        const CodePoint c = DecodeAt(text, at);
        if (c.length == 0) {
            return MessageId::kTextNotUtf8;
        }
        if (IsControl(c.value)) {
            return MessageId::kControlCharacter;
        }
        at += c.length;
    }
    if (NamesAnotherFolder(text, role)) {
        return MessageId::kNotAFileName;
    }
    return std::nullopt;
}

}  // namespace pellandrix
