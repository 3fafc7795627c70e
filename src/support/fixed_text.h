#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pellandrix {

// Cuts `text` to at most `max_bytes` bytes. When the cut would fall inside a
// UTF-8 multi-byte character, the whole character is dropped instead, so the
// result never ends in a broken sequence. Bytes that are not part of a valid
// UTF-8 sequence (Windows-1252 text) are cut exactly at the limit.
std::string_view CutToWidth(std::string_view text, std::size_t max_bytes);

// A text member of a record with the width of its database field: a buffer
// of `Size` bytes holds at most `Size - 1` characters. Every assignment cuts
// the text to that width, so the limit is applied in exactly one place.
template <std::size_t Size>
class FixedText {
  public:
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
    std::size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }
    operator std::string_view() const { return text_; }  // NOLINT: implicit by design

    friend bool operator==(const FixedText& a, std::string_view b) { return a.text_ == b; }

  private:
    void Assign(std::string_view text) { text_ = std::string(CutToWidth(text, kMaxLength)); }

    std::string text_;
};

}  // namespace pellandrix
