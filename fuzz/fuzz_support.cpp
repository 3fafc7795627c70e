#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "support/text_file.h"

namespace pellandrix::fuzz {

namespace fs = std::filesystem;

void Check(bool condition, const char* what, const char* file, int line) {
    if (!condition) {
        std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
        std::abort();
    }
}

MessageAnswer CountingPresenter::Present(MessageKind, const std::string&, ButtonStyle) {
    ++count;
    return MessageAnswer::Other;
}

namespace {

// Removes the scratch folder at exit; libFuzzer ends by calling exit().
struct ScratchHolder {
    std::string path;
    ScratchHolder() {
        std::string pattern = (fs::temp_directory_path() / "pellandrix-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a scratch folder");
        }
        path = pattern;
    }
    ~ScratchHolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& ScratchDir() {
    static ScratchHolder holder;
    return holder.path;
}

void EmptyDir(const std::string& dir) {
    std::error_code error;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, error)) {
        fs::remove_all(e.path(), error);
    }
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string_view> Chunks(std::string_view text) {
    std::vector<std::string_view> chunks;
    while (!text.empty()) {
        std::size_t n = text.find('\n');
        n = n == std::string_view::npos ? text.size() : n + 1;
        n = std::min(n, kMaxChunk);
        chunks.push_back(text.substr(0, n));
        text.remove_prefix(n);
    }
    return chunks;
}

}  // namespace pellandrix::fuzz
