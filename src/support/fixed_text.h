#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pellandrix {

// Text is UTF-8. A character is a complete UTF-8 sequence (one code
// point), or a single byte that starts none (Windows-1252 text, a sequence
// broken off); so a character takes one to four bytes.

// The number of characters in `text`.
std::size_t TextWidth(std::string_view text);

// The first `max_chars` characters of `text` (all of it when it has no
// more). Never cuts inside a character.
std::string_view CutToWidth(std::string_view text, std::size_t max_chars);

// A text member of a record with the width of its database field: a field
// of `Size` holds at most `Size - 1` characters, however many bytes they
// take (at most four each; the text lives in a std::string, so no byte
// buffer limits it). Every assignment cuts the text to that width, so the
// limit is applied in exactly one place.
template <std::size_t Size>
class FixedText {
  public:
    // In characters (TextWidth), not bytes.
    static constexpr std::size_t kMaxLength = Size - 1;

    FixedText() = default;
    FixedText(std::string_view text) { Assign(text); }  // NOLINT: implicit by design
    FixedText& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    FixedText& operator=(const std::string& text) { return *this = std::string_view(text); }
    FixedText& operator=(const char* text) { return *this = std::string_view(text); }

    const std::string& str() const { return text_; }
    const char* c_str() const { return text_.c_str(); }
    std::size_t size() const { return text_.size(); }  // in bytes
    bool empty() const { return text_.empty(); }
    operator std::string_view() const { return text_; }  // NOLINT: implicit by design

    friend bool operator==(const FixedText& a, std::string_view b) { return a.text_ == b; }

  private:
    void Assign(std::string_view text) { text_ = std::string(CutToWidth(text, kMaxLength)); }

    std::string text_;
};

}  // namespace pellandrix
