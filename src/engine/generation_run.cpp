#include "engine/generation_run.h"

#include <unistd.h>

#include <string>

#include "engine/include_order.h"
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
        RegenerationPass();
        OrderedRegenerationPass();
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
        parser_.NoteOwnPass(entry, result == OutputResult::Written);
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

    void RegenerationPass() {
        parser_.BeginPass();
        ForEachLive([&](CTplFileRecord& entry) {
            parser_.Defines().Clear();
            if (entry.Selected && !entry.StandaloneDone) {
                Generate(entry);
            }
            view_.SetProgressPos(++position_);
        });
    }

    static bool Waits(const CTplFileRecord& entry) {
        return !entry.Deleted && entry.Selected && !entry.StandaloneDone;
    }

    // The regeneration pass can leave pages with an includer's text: a
    // regeneration overwrites, through its includes, entries the pass has
    // already passed (a page including a layout that includes a header).
    // One more pass, with includers before what they include, leaves every
    // page its own text: what an entry includes is regenerated after it, and
    // nothing regenerated after it includes it. Each entry is generated at
    // most once more, and only when an include did change its file; one
    // whose file still holds its own text is just done. Only an include
    // cycle, which has no such order, can still leave a page with another
    // template's text; it ends Failed, beside the cycle's message, rather
    // than in progress for ever.
    void OrderedRegenerationPass() {
        bool waiting = false;
        ForEachLive([&](const CTplFileRecord& entry) { waiting = waiting || Waits(entry); });
        if (!waiting) {
            return;
        }
        parser_.BeginPass();
        for (CTplFileRecord* entry : IncludersFirst(parser_.Files())) {
            if (!Waits(*entry)) {
                continue;
            }
            if (parser_.HoldsOwnText(*entry)) {
                entry->StandaloneDone = 1;
                SetStatus(*entry, RunStatus::Done);
            } else {
                parser_.Defines().Clear();
                Generate(*entry);
            }
        }
        ForEachLive([&](CTplFileRecord& entry) {
            if (Waits(entry)) {
                SetStatus(entry, RunStatus::Failed);
            }
        });
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
