#include "engine/generation_run.h"

#include <unistd.h>

#include <string>

#include "engine/run_status.h"
#include "engine/template_paths.h"
#include "support/leftover_files.h"

namespace pellandrix {

namespace {

class Run {
  public:
    Run(CTemplateParser& parser, IRunView& view) : parser_(parser), view_(view) {}

    void Execute() {
        const RunScope scope(parser_);
        for (const std::string& folder : parser_.TargetFolders()) {
            SweepLeftovers(folder);
        }
        const int selected = MarkWaiting();
        view_.UpdateFirstItem();
        view_.SetProgressRange(1, selected + 2);
        view_.SetProgressPos(1);
        GenerationPass();
        RegenerationPasses();
        CleanUpPass();
        view_.SetProgressPos(1);
        view_.RefreshButtons();
    }

  private:
    struct RunScope {
        explicit RunScope(CTemplateParser& parser) : parser(parser) { parser.BeginRun(); }
        ~RunScope() { parser.EndRun(); }
        CTemplateParser& parser;
    };

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
        const OutputResult result = parser_.ProcessEntry(entry);
        Report(entry, result);
        entry.StandaloneDone = 1;
        SetStatus(entry, result == OutputResult::Written ? RunStatus::Done : RunStatus::Failed);
    }

    // A ticked entry whose page was not written is named, once per run; an
    // include that fails the same way stays silent.
    void Report(const CTplFileRecord& entry, OutputResult result) {
        const std::string output = GeneratedFilePath(
            entry.TargetPath, TemplateBaseName(entry.TPLFileName), entry.CreateFileExt);
        switch (result) {
            case OutputResult::TemplateUnreadable:
                parser_.ReportOnce(MessageId::kTemplateUnreadable,
                                   JoinPath(entry.SourcePath, entry.TPLFileName));
                break;
            case OutputResult::DirectoryMissing:
                parser_.ReportOnce(MessageId::kTargetDirectoryMissing, entry.TargetPath.str(),
                                   output);
                break;
            case OutputResult::NotCreated:
                parser_.ReportOnce(MessageId::kCannotCreateFile, output);
                break;
            case OutputResult::Written:
            case OutputResult::WriteFailed:  // reported when they happened
            case OutputResult::Refused:
                break;
        }
    }

    void GenerationPass() {
        parser_.BeginPass();
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
        parser_.BeginPass();
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
                if (parser_.MayDelete(path)) {
                    ::unlink(path.c_str());
                }
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
