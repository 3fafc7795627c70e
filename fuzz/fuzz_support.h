#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/message_service.h"

namespace pellandrix::fuzz {

// Stops the run with `what` when `condition` is false, so that libFuzzer
// keeps the input that broke a rule; a plain assert would vanish in a
// release build.
#define FUZZ_CHECK(condition, what) \
    ::pellandrix::fuzz::Check((condition), (what), __FILE__, __LINE__)
void Check(bool condition, const char* what, const char* file, int line);

// Counts the messages the code under test shows and answers every question
// with Other, the answer of a box closed with Escape.
class CountingPresenter : public IMessagePresenter {
  public:
    MessageAnswer Present(MessageKind kind, const std::string& text, ButtonStyle buttons) override;
    int count = 0;
};

// A folder of the harness's own under the system's temporary directory,
// made on first use and removed when the process ends.
const std::string& ScratchDir();

// Removes everything inside `dir`, keeping `dir` itself.
void EmptyDir(const std::string& dir);

// Writes `bytes` to `path` unchanged, replacing any file there.
void WriteFile(const std::string& path, std::string_view bytes);

// `text` cut into chunks the way the template reader cuts a file: at each
// line feed (kept with its chunk) and after at most 999 bytes.
std::vector<std::string_view> Chunks(std::string_view text);

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace pellandrix::fuzz
