// The line engine on arbitrary bytes. The input is a template; lines before
// a line "%%" (if there is one) first fill the define table, each as a name,
// one blank and a value, so the fuzzer can build tables directly as well as
// through #define lines.
//
// Checked on every chunk: a skipped branch is always inside an open block;
// the table stays sorted longest name first and every entry is found under
// its own name; the fast substitution gives exactly what the plain one,
// entry by entry, gives, both stop at the same length limit, and neither
// leaves a text longer than that. Then the template read as a file (CR LF
// as one line end) must come out the same whether its text lines are taken
// a chunk at a time or by the bufferful.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/define_table.h"
#include "engine/line_engine.h"
#include "fuzz_support.h"
#include "support/text_file.h"
#include "support/text_sink.h"

using namespace pellandrix;
using namespace pellandrix::fuzz;

namespace {

void CheckTable(const CDefineTable& table) {
    std::size_t previous = std::string::npos;
    int count = 0;
    for (const CDefineEntry& entry : table.Entries()) {
        FUZZ_CHECK(entry.name.size() <= previous, "entries longest name first");
        FUZZ_CHECK(table.Find(entry.name) == &entry, "every entry found under its own name");
        previous = entry.name.size();
        ++count;
    }
    FUZZ_CHECK(count == table.Count(), "count matches the entries");
}

// Keeps nothing of what the engine writes: every line may be 16 MB, so a
// few kilobytes of template ask for gigabytes of text.
class DiscardingSink : public ITextSink {
  public:
    void Write(std::string_view) override {}
};

// Keeps a hash and the length of what the engine writes, so that two runs
// can be compared without holding their text.
class HashingSink : public ITextSink {
  public:
    void Write(std::string_view text) override {
        for (const char c : text) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        length += text.size();
    }
    std::uint64_t hash = 14695981039346656037ull;
    std::size_t length = 0;
};

// The next chunk of `raw` from *pos as a text read yields it: a CR before
// an LF dropped, ended after an LF or at kMaxChunk bytes.
std::string NextChunk(std::string_view raw, std::size_t* pos) {
    std::string chunk;
    while (*pos < raw.size() && chunk.size() < kMaxChunk) {
        char c = raw[(*pos)++];
        if (c == '\r' && *pos < raw.size() && raw[*pos] == '\n') {
            c = '\n';
            ++*pos;
        }
        chunk += c;
        if (c == '\n') {
            break;
        }
    }
    return chunk;
}

std::string_view FillTable(std::string_view input, CDefineTable& table);

struct Run {
    std::uint64_t hash;
    std::size_t length;
    int messages;
    int lines;
};

// The whole template through a fresh engine, a chunk at a time or, as the
// template parser reads a file, text lines by the bufferful.
Run RunTemplate(std::string_view input, bool byTheBufferful) {
    CountingPresenter presenter;
    CMessageService messages(presenter);
    CDefineTable table;
    CLineEngine engine(table, messages);
    HashingSink sink;
    std::string raw(FillTable(input, table));
    EngineState state;
    std::string_view argument;
    std::size_t pos = 0;
    for (;;) {
        if (byTheBufferful) {
            const std::size_t taken =
                engine.HandleTextLines(state, "fuzz.tpl", std::span<char>(raw).subspan(pos), &sink);
            FUZZ_CHECK(taken <= raw.size() - pos, "no more taken than given");
            if (taken != 0) {
                pos += taken;
                continue;
            }
        }
        const std::string chunk = NextChunk(raw, &pos);
        if (chunk.empty()) {
            break;
        }
        engine.HandleChunk(state, "fuzz.tpl", chunk, &sink, &argument);
    }
    engine.Finish(state, "fuzz.tpl");
    return Run{sink.hash, sink.length, presenter.count, state.line};
}

// The engine holds each text to 16 MB, but neither the sum of the values
// nor the text a template asks for: a few hundred defines of 16 MB each
// take gigabytes, past the fuzzer's memory limit, and thousands of 16 MB
// lines take minutes. Instrumented, one line that substitutes to 16 MB takes
// about two seconds (the engine and both checks), so an input ends once its
// substitutions have made 8 MiB: with the line that passes the budget that
// stays well inside the timeout, and more would only repeat the work. Every
// value is made by substituting its #define line, so this bounds the values
// too.
constexpr std::size_t kBudget = std::size_t{8} << 20;

// Returns the length of the substituted text.
std::size_t CheckSubstitution(const CDefineTable& table, std::string_view text) {
    std::string fast(text);
    std::string plain(text);
    const bool fastWhole = table.Substitute(fast);
    const bool plainWhole = table.SubstituteEntryByEntry(plain);
    FUZZ_CHECK(fast == plain, "Substitute equals SubstituteEntryByEntry");
    FUZZ_CHECK(fastWhole == plainWhole, "both stop at the same entry");
    FUZZ_CHECK(fast.size() <= std::max(text.size(), CDefineTable::kMaxSubstitutedLength),
               "no substitution passes the length limit");
    return fast.size();
}

// Takes the define lines in front of a "%%" line; returns the template.
std::string_view FillTable(std::string_view input, CDefineTable& table) {
    const std::size_t mark = input.find("%%\n");
    if (mark == std::string_view::npos || (mark != 0 && input[mark - 1] != '\n')) {
        return input;
    }
    for (std::string_view line : Chunks(input.substr(0, mark))) {
        if (!line.empty() && line.back() == '\n') {
            line.remove_suffix(1);
        }
        const std::size_t blank = line.find(' ');
        const std::string_view name = line.substr(0, blank);
        const std::string_view value =
            blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
        if (name.empty() || table.Find(name) != nullptr) {
            continue;
        }
        table.Add(name, value);
        table.SortByNameLength();
    }
    return input.substr(mark + 3);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CountingPresenter presenter;
    CMessageService messages(presenter);
    CDefineTable table;
    CLineEngine engine(table, messages);
    DiscardingSink sink;

    const std::string_view text = FillTable(AsText(data, size), table);
    EngineState state;
    std::string_view argument;
    std::size_t substituted = 0;
    for (std::string_view chunk : Chunks(text)) {
        const int shownBefore = presenter.count;
        const ChunkKind kind = engine.HandleChunk(state, "fuzz.tpl", chunk, &sink, &argument);
        FUZZ_CHECK(!state.skipping || state.inConditional, "skipping only inside a block");
        FUZZ_CHECK(presenter.count - shownBefore <= 1, "at most one message per chunk");
        if (kind == ChunkKind::Include) {
            FUZZ_CHECK(argument.data() >= chunk.data() &&
                           argument.data() + argument.size() <= chunk.data() + chunk.size(),
                       "the include argument lies inside its chunk");
        }
        CheckTable(table);
        if (substituted > kBudget) {
            return 0;
        }
        substituted += CheckSubstitution(table, chunk);
    }
    engine.Finish(state, "fuzz.tpl");
    FUZZ_CHECK(state.line == static_cast<int>(Chunks(text).size()), "one line per chunk");

    // Within the budget, the same template read as a file is: every way of
    // taking its lines must write the same and report the same.
    const std::string_view input = AsText(data, size);
    const Run chunkwise = RunTemplate(input, false);
    const Run bufferwise = RunTemplate(input, true);
    FUZZ_CHECK(bufferwise.length == chunkwise.length && bufferwise.hash == chunkwise.hash,
               "text lines by the bufferful write what chunks write");
    FUZZ_CHECK(bufferwise.messages == chunkwise.messages, "and report as much");
    FUZZ_CHECK(bufferwise.lines == chunkwise.lines, "and count as many lines");
    return 0;
}
