// A generation run over a chain of 200 templates (t0 includes t1 ...
// includes t199, every one ticked and generated whenever included), listed
// in forward order and leaf first. Listed leaf first, every page's own pass
// overwrites the pages below it with its text, and the run must generate
// them again; the work must stay within a small factor of forward order.
// "same" chains insert the same text whoever includes them (rewrites leave
// the files untouched); "context" chains show their includer's name, so
// every rewrite is a real write.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/generation_run.h"
#include "engine/run_view.h"
#include "engine/template_parser.h"
#include "quiet_run.h"
#include "support/message_service.h"

namespace pellandrix {
namespace {

constexpr int kChain = 200;

using bench::NoView;
using bench::SilentPresenter;

// A temporary project folder with templates in src/ and pages in out/.
class ChainProject {
  public:
    ChainProject(bool leafFirst, bool context) : parser_(messages_, files_) {
        for (int k = 0; k < kChain; ++k) {
            const int i = leafFirst ? kChain - 1 - k : k;
            const std::string name = "t" + std::to_string(i) + ".tpl";
            std::ofstream(dir_ / "src" / name, std::ios::binary) << Text(i, context);
            CTplFileRecord* e = parser_.Files().NewFile();
            e->TPLFileName = name;
            e->SourcePath = (dir_ / "src").string();
            e->TargetPath = (dir_ / "out").string();
            e->CreateFileExt = "html";
            e->Selected = 1;
        }
    }

    void Run() {
        for (CTplFileRecord& e : parser_.Files().Records()) {
            e.RunStatus = 0;
            e.StandaloneDone = 0;
        }
        RunGeneration(parser_, view_);
    }

  private:
    static std::string Text(int i, bool context) {
        std::string text;
        if (context) {
            text += "#ifndef TOP\n#define TOP page " + std::to_string(i) + "\n#endif\n";
        }
        if (i + 1 < kChain) {
            text += "#include \"t" + std::to_string(i + 1) + ".tpl\"\n";
        }
        return text + "<p>level " + std::to_string(i) + (context ? " of TOP" : "") + "</p>\n";
    }

    SilentPresenter presenter_;
    CMessageService messages_{presenter_};
    CTplFileList files_;
    CTemplateParser parser_;
    NoView view_;
    bench::TempProjectFolder folder_{"pellandrix-chain"};
    const std::filesystem::path& dir_ = folder_.Path();
};

void BM_Chain(benchmark::State& state) {
    ChainProject project(state.range(0) != 0, state.range(1) != 0);
    for (auto _ : state) {
        project.Run();
    }
}
BENCHMARK(BM_Chain)
    ->ArgNames({"leaf_first", "context"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellandrix
