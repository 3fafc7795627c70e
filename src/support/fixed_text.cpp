#include "support/fixed_text.h"

namespace pellandrix {

namespace {

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the UTF-8 sequence a lead byte announces, or 0 for a byte that
// cannot start one.
std::size_t SequenceLength(unsigned char lead) {
    if ((lead & 0xE0) == 0xC0) {
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        return 4;
    }
    return 0;
}

// Bytes taken by the character at `pos`: a whole UTF-8 sequence when one
// starts there complete, otherwise the single byte. Counting a stray byte as
// a character of its own keeps Windows-1252 text at one byte a character.
std::size_t CharacterLength(std::string_view text, std::size_t pos) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(text[pos]));
    if (length == 0 || length > text.size() - pos) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) {
            return 1;
        }
    }
    return length;
}

}  // namespace

std::size_t TextWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += CharacterLength(text, pos)) {
        ++width;
    }
    return width;
}

std::string_view CutToWidth(std::string_view text, std::size_t max_chars) {
    // No text of at most max_chars bytes can hold more characters.
    if (text.size() <= max_chars) {
        return text;
    }
    std::size_t pos = 0;
    for (std::size_t width = 0; width < max_chars && pos < text.size(); ++width) {
        pos += CharacterLength(text, pos);
    }
    return text.substr(0, pos);
}

}  // namespace pellandrix
