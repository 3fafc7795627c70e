// Throughput of the line engine on an HTML-like template with a header of
// 0 to 10,000 defines, and the indexed substitution against the literal
// entry-by-entry rule on the same lines.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/define_table.h"
#include "engine/line_engine.h"
#include "support/message_service.h"
#include "support/text_sink.h"

namespace pellandrix {
namespace {

constexpr int kBodyLines = 20000;
constexpr int kCompareLines = 2000;  // the literal rule is too slow for more

// A template whose messages would be a fault of the workload: answers OK.
class SilentPresenter : public IMessagePresenter {
  public:
    MessageAnswer Present(MessageKind, const std::string&, ButtonStyle) override {
        return MessageAnswer::Ok;
    }
};

// A deterministic site page: `header` defines `names.size()` names, `body`
// is markup in which about a third of the lines use one or two of them.
struct Workload {
    std::vector<std::string> names;
    std::string header;
    std::string body;
};

class Generator {
  public:
    explicit Generator(std::uint32_t seed) : random_(seed) {}

    Workload Make(int defines, int lines) {
        Workload w;
        for (int i = 0; i < defines; ++i) {
            w.names.push_back(Name(i));
            w.header += "#define " + w.names.back() + " " + Value() + "\n";
        }
        for (int i = 0; i < lines; ++i) {
            w.body += Line(w.names);
        }
        return w;
    }

  private:
    std::size_t Below(std::size_t bound) { return random_() % bound; }

    std::string Word(std::size_t minLength, std::size_t maxLength, char first) {
        std::string word;
        const std::size_t length = minLength + Below(maxLength - minLength + 1);
        for (std::size_t i = 0; i < length; ++i) {
            word += static_cast<char>(first + Below(26));
        }
        return word;
    }

    std::string Words(std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            text += (i == 0 ? "" : " ") + Word(2, 9, 'a');
        }
        return text;
    }

    std::string Name(int index) {
        static constexpr std::array<std::string_view, 8> kPrefixes{
            "SITE", "PAGE", "NAV", "COLOR", "LINK", "FOOTER", "AUTHOR", "MENU"};
        return std::string(kPrefixes[Below(kPrefixes.size())]) + "_" + Word(3, 8, 'A') + "_" +
               std::to_string(index);
    }

    std::string Value() {
        switch (Below(3)) {
            case 0:
                return "<a href=\"/" + Word(3, 8, 'a') + "/" + std::to_string(Below(1000)) +
                       ".html\">" + Words(1 + Below(3)) + "</a>";
            case 1:
                return "#" + std::to_string(100000 + Below(900000));
            default:
                return Words(1 + Below(5));
        }
    }

    std::string Line(const std::vector<std::string>& names) {
        static constexpr std::array<std::string_view, 6> kTags{"p",    "li", "td",
                                                               "span", "h2", "div"};
        const std::string_view tag = kTags[Below(kTags.size())];
        std::string line = std::string(Below(4) * 2, ' ') + "<" + std::string(tag) + " class=\"" +
                           Word(3, 8, 'a') + "\">" + Words(2 + Below(6));
        if (!names.empty() && Below(3) == 0) {
            for (std::size_t uses = 1 + Below(2); uses > 0; --uses) {
                line += " " + names[Below(names.size())] + " " + Words(1 + Below(3));
            }
        }
        return line + "</" + std::string(tag) + ">\n";
    }

    std::mt19937 random_;
};

std::vector<std::string_view> Chunks(std::string_view text) {
    std::vector<std::string_view> chunks;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        chunks.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return chunks;
}

// Made once per define count and shared by the benchmarks.
const Workload& WorkloadFor(int defines) {
    static std::map<int, Workload> made;
    auto it = made.find(defines);
    if (it == made.end()) {
        const auto seed = 0x5eed0000u + static_cast<std::uint32_t>(defines);
        it = made.emplace(defines, Generator(seed).Make(defines, kBodyLines)).first;
    }
    return it->second;
}

// Feeds `chunks` through `engine` as one file and returns the bytes fed.
std::size_t Feed(CLineEngine& engine, const std::vector<std::string_view>& chunks, ITextSink* out) {
    EngineState state;
    std::string_view ignored;
    std::size_t bytes = 0;
    for (std::string_view chunk : chunks) {
        engine.HandleChunk(state, "page.tpl", chunk, out, &ignored);
        bytes += chunk.size();
    }
    return bytes;
}

struct Engine {
    SilentPresenter presenter;
    CMessageService messages{presenter};
    CDefineTable defines;
    CLineEngine engine{defines, messages};
};

// The header of #define lines alone, into a fresh table each time.
void BM_DefinePhase(benchmark::State& state) {
    const auto chunks = Chunks(WorkloadFor(static_cast<int>(state.range(0))).header);
    std::size_t bytes = 0;
    for (auto _ : state) {
        Engine e;
        bytes += Feed(e.engine, chunks, nullptr);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

// The text lines alone, with the header's names defined.
void BM_TextPhase(benchmark::State& state) {
    const Workload& w = WorkloadFor(static_cast<int>(state.range(0)));
    Engine e;
    Feed(e.engine, Chunks(w.header), nullptr);
    const auto chunks = Chunks(w.body);
    CStringSink out;
    std::size_t bytes = 0;
    for (auto _ : state) {
        out.Clear();
        bytes += Feed(e.engine, chunks, &out);
        benchmark::DoNotOptimize(out.Text().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

// The text lines as the template parser takes them: a bufferful at a time
// rather than a chunk at a time.
void BM_TextLines(benchmark::State& state) {
    const Workload& w = WorkloadFor(static_cast<int>(state.range(0)));
    Engine e;
    Feed(e.engine, Chunks(w.header), nullptr);
    std::string body = w.body;  // the engine may rewrite line ends in place
    CStringSink out;
    std::size_t bytes = 0;
    for (auto _ : state) {
        out.Clear();
        EngineState lines;
        const std::size_t taken =
            e.engine.HandleTextLines(lines, "page.tpl", std::span<char>(body), &out);
        if (taken != body.size()) {
            state.SkipWithError("a line of the body was not taken as text");
            return;
        }
        bytes += taken;
        benchmark::DoNotOptimize(out.Text().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

// Header and text as one template, into a fresh table each time.
void BM_WholeTemplate(benchmark::State& state) {
    const Workload& w = WorkloadFor(static_cast<int>(state.range(0)));
    const std::string text = w.header + w.body;
    const auto chunks = Chunks(text);
    CStringSink out;
    std::size_t bytes = 0;
    for (auto _ : state) {
        Engine e;
        out.Clear();
        bytes += Feed(e.engine, chunks, &out);
        benchmark::DoNotOptimize(out.Text().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

// Substitution alone over the first text lines, indexed or entry by entry;
// registered next to each other so that their ratio comes from one run.
template <bool kIndexed>
void BM_Substitute(benchmark::State& state) {
    const Workload& w = WorkloadFor(static_cast<int>(state.range(0)));
    Engine e;
    Feed(e.engine, Chunks(w.header), nullptr);
    auto lines = Chunks(w.body);
    lines.resize(kCompareLines);
    std::string line;
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (std::string_view text : lines) {
            line.assign(text);
            if (kIndexed) {
                e.defines.Substitute(line);
            } else {
                e.defines.SubstituteEntryByEntry(line);
            }
            benchmark::DoNotOptimize(line.data());
            bytes += text.size();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    // A fast wrong answer is no answer.
    for (std::string_view text : lines) {
        std::string indexed(text);
        std::string literal(text);
        e.defines.Substitute(indexed);
        e.defines.SubstituteEntryByEntry(literal);
        if (indexed != literal) {
            state.SkipWithError("indexed and literal substitution differ");
            return;
        }
    }
}

BENCHMARK(BM_DefinePhase)->Arg(50)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextPhase)->Arg(0)->Arg(50)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextLines)->Arg(0)->Arg(50)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeTemplate)->Arg(0)->Arg(50)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
// Alternating per define count, so each pair runs back to back.
BENCHMARK(BM_Substitute<true>)->Name("BM_SubstituteIndexed")->Arg(50);
BENCHMARK(BM_Substitute<false>)->Name("BM_SubstituteEntryByEntry")->Arg(50);
BENCHMARK(BM_Substitute<true>)->Name("BM_SubstituteIndexed")->Arg(1000);
BENCHMARK(BM_Substitute<false>)->Name("BM_SubstituteEntryByEntry")->Arg(1000);
BENCHMARK(BM_Substitute<true>)->Name("BM_SubstituteIndexed")->Arg(10000);
BENCHMARK(BM_Substitute<false>)->Name("BM_SubstituteEntryByEntry")->Arg(10000);

}  // namespace
}  // namespace pellandrix
