#pragma once

#include <string>
#include <string_view>

namespace pellandrix {

// Where generated text goes: a file, or a string in tests and benchmarks.
class ITextSink {
  public:
    virtual ~ITextSink() = default;
    // Appends `text`; line feeds are passed as they are, the sink decides how
    // to store them.
    virtual void Write(std::string_view text) = 0;
};

// Collects everything written, unchanged.
class CStringSink : public ITextSink {
  public:
    void Write(std::string_view text) override { text_.append(text); }
    const std::string& Text() const { return text_; }
    void Clear() { text_.clear(); }

  private:
    std::string text_;
};

}  // namespace pellandrix
