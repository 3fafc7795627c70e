#pragma once

#include <string>
#include <string_view>

#include "support/text_sink.h"
#include "support/write_ways.h"

namespace pellandrix {

// A dry run's generated text, in the form the writer would give the file
// (each line feed as CR LF), kept in memory instead of written.
class CMemorySink : public ITextSink {
  public:
    void Write(std::string_view text) override { AppendTranslated(text_, text); }
    void WriteAsIs(std::string_view bytes) { text_.append(bytes); }
    const std::string& Text() const { return text_; }

  private:
    std::string text_;
};

// What reading a file of that form in text mode yields: each carriage
// return directly before a line feed dropped.
inline std::string AsRead(std::string_view bytes) {
    std::string read;
    read.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) {
            read += bytes[i];
        }
    }
    return read;
}

}  // namespace pellandrix
