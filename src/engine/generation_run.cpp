#include "engine/generation_run.h"

#include <unistd.h>

#include "engine/run_status.h"
#include "engine/template_paths.h"

namespace pellandrix {

namespace {

class Run {
  public:
    Run(CTemplateParser& parser, IRunView& view) : parser_(parser), view_(view) {}

    void Execute() {
        const int selected = MarkWaiting();
        view_.UpdateFirstItem();
        view_.SetProgressRange(1, selected + 2);
        view_.SetProgressPos(1);
        GenerationPass();
        RegenerationPasses();
        CleanUpPass();
        parser_.ReleaseSpareFiles();
        view_.SetProgressPos(1);
        view_.RefreshButtons();
    }

  private:
    template <typename Fn>
    void ForEachLive(Fn fn) {
        for (CTplFileRecord& entry : parser_.Files().Records()) {
            if (!entry.Deleted) {
                fn(entry);
            }
        }
    }

    void SetStatus(CTplFileRecord& entry, RunStatus status) {
        entry.RunStatus = static_cast<int>(status);
        view_.RefreshRowStatus(entry.ListRow);
    }

    int MarkWaiting() {
        int count = 0;
        ForEachLive([&](CTplFileRecord& entry) {
            if (entry.Selected) {
                SetStatus(entry, RunStatus::Waiting);
                ++count;
            }
        });
        return count;
    }

    void Generate(CTplFileRecord& entry) {
        SetStatus(entry, RunStatus::InProgress);
        parser_.ProcessTemplate(entry);
        entry.StandaloneDone = 1;
        SetStatus(entry, RunStatus::Done);
    }

    void GenerationPass() {
        ForEachLive([&](CTplFileRecord& entry) {
            parser_.Defines().Clear();
            if (entry.Selected) {
                Generate(entry);
                ++position_;
            }
            view_.SetProgressPos(position_);
        });
    }

    // Returns true when an entry still waits for its own pass afterwards.
    bool RegenerationPass() {
        ForEachLive([&](CTplFileRecord& entry) {
            parser_.Defines().Clear();
            if (entry.Selected && !entry.StandaloneDone) {
                Generate(entry);
            }
            view_.SetProgressPos(++position_);
        });
        bool pending = false;
        ForEachLive([&](const CTplFileRecord& entry) {
            pending = pending || (entry.Selected && !entry.StandaloneDone);
        });
        return pending;
    }

    // A regeneration can overwrite, through its own includes, an entry the
    // pass has already passed (a page including a layout that includes a
    // header). Repeating until no entry waits leaves every page with its own
    // text. An include cycle could keep two entries marking each other, so
    // the repetitions are bounded by the number of entries.
    void RegenerationPasses() {
        const int bound = parser_.Files().CountLive();
        for (int pass = 0; pass <= bound && RegenerationPass(); ++pass) {
        }
    }

    void CleanUpPass() {
        ForEachLive([&](const CTplFileRecord& entry) {
            if (!entry.CreateFile) {
                const std::string path = GeneratedFilePath(
                    entry.TargetPath, TemplateBaseName(entry.TPLFileName), entry.CreateFileExt);
                ::unlink(path.c_str());
            }
            view_.SetProgressPos(++position_);
        });
    }

    CTemplateParser& parser_;
    IRunView& view_;
    int position_ = 0;
};

}  // namespace

void RunGeneration(CTemplateParser& parser, IRunView& view) {
    Run(parser, view).Execute();
}

}  // namespace pellandrix
