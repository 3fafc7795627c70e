// A full generation run over a small site shaped like the suite's (each
// page takes 200 site-wide defines, sets names of its own and includes a
// header, a navigation and a footer), run with and without the run record
// in the same binary: without a memo; with a memo recording every step;
// and with the memo loaded from and saved to a real SQLite file, as
// `generate` does. The differences are what the record costs a full run.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/generation_run.h"
#include "engine/run_memo.h"
#include "engine/run_view.h"
#include "engine/template_parser.h"
#include "quiet_run.h"
#include "store/dao_database.h"
#include "store/run_record.h"
#include "support/message_service.h"

namespace pellandrix {
namespace {

constexpr int kPages = 300;
constexpr int kSiteDefines = 200;
constexpr int kBodyLines = 30;

using bench::NoView;
using bench::SilentPresenter;

std::string Name(int i) {
    return "N" + std::to_string(i) + "_VALUE";
}

class SiteProject {
  public:
    SiteProject() : parser_(messages_, files_) {
        std::string site;
        for (int i = 0; i < kSiteDefines; ++i) {
            site += "#define " + Name(i) + " value " + std::to_string(i) +
                    (i % 10 == 9 ? " and " + Name(i - 1) : "") + "\n";
        }
        Write("site.tpl", site, false);
        Write("header.tpl", "<title>PAGE_TITLE</title>\n<h1>" + Name(3) + " PAGE_HEAD</h1>\n",
              false);
        Write("nav.tpl", "<nav>" + Name(5) + " " + Name(7) + "</nav>\n", false);
        Write("footer.tpl", "<footer>" + Name(11) + "</footer>\n", false);
        for (int p = 0; p < kPages; ++p) {
            std::string page = "#include \"site.tpl\"\n#define PAGE_TITLE Page " +
                               std::to_string(p) + "\n#define PAGE_HEAD " + Name(p % 200) +
                               "\n#include \"header.tpl\"\n#include \"nav.tpl\"\n";
            for (int l = 0; l < kBodyLines; ++l) {
                page += "<p>" + Name((p + l) % kSiteDefines) + " text of line " +
                        std::to_string(l) + " PAGE_TITLE</p>\n";
            }
            Write("p" + std::to_string(p) + ".tpl", page + "#include \"footer.tpl\"\n", true);
        }
        db_.Create((dir_ / "record.db").string());
    }

    enum class Record { None, Memo, Saved };

    void Run(Record record) {
        for (CTplFileRecord& e : parser_.Files().Records()) {
            e.RunStatus = 0;
            e.StandaloneDone = 0;
        }
        if (record == Record::None) {
            parser_.SetMemo(nullptr);
            RunGeneration(parser_, view_);
            return;
        }
        CRunMemo memo(record == Record::Saved ? LoadRunRecord(db_, 1) : RunRecord{}, "", false,
                      false);
        parser_.SetMemo(&memo);
        RunGeneration(parser_, view_);
        parser_.SetMemo(nullptr);
        RunRecordChanges changes;
        RunRecord after = memo.After(changes);
        if (record == Record::Saved) {
            SaveRunRecord(db_, 1, after, changes);
        } else {
            benchmark::DoNotOptimize(after);
        }
    }

  private:
    void Write(const std::string& name, const std::string& text, bool page) {
        std::ofstream(dir_ / "src" / name, std::ios::binary) << text;
        CTplFileRecord* e = parser_.Files().NewFile();
        e->TPLFileName = name;
        e->SourcePath = (dir_ / "src").string();
        e->TargetPath = (dir_ / "out").string();
        e->CreateFileExt = "html";
        e->CreateFile = page ? 1 : 0;
        e->Selected = page ? 1 : 0;
    }

    SilentPresenter presenter_;
    CMessageService messages_{presenter_};
    CTplFileList files_;
    CTemplateParser parser_;
    NoView view_;
    bench::TempProjectFolder folder_{"pellandrix-site"};
    const std::filesystem::path& dir_ = folder_.Path();
    CDaoDatabase db_;
};

void BM_SiteFullRun(benchmark::State& state) {
    SiteProject project;
    const auto record = static_cast<SiteProject::Record>(state.range(0));
    for (auto _ : state) {
        project.Run(record);
    }
    state.SetItemsProcessed(state.iterations() * kPages);
}
BENCHMARK(BM_SiteFullRun)
    ->ArgName("record")
    ->Arg(static_cast<int>(SiteProject::Record::None))
    ->Arg(static_cast<int>(SiteProject::Record::Memo))
    ->Arg(static_cast<int>(SiteProject::Record::Saved))
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellandrix
