#include "engine/generation_run.h"

#include <unistd.h>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/include_order.h"
#include "engine/run_status.h"
#include "engine/step_rules.h"
#include "engine/template_paths.h"
#include "support/file_place.h"
#include "support/leftover_files.h"

namespace pellandrix {

namespace {

class Run {
  public:
    Run(CTemplateParser& parser, IRunView& view)
        : parser_(parser), context_(parser.Context()), view_(view), memo_(parser.Memo()) {}

    // With a memo, an incremental run that finds it cannot leave what a
    // full run would (see RunDiverged) starts over as a full run; messages
    // it showed already are not shown twice.
    void Execute() {
        if (memo_ == nullptr || !memo_->Incremental()) {
            Attempt();
            return;
        }
        const std::vector<EntryState> before = Snapshot();
        std::unordered_map<std::string, int> shown;
        {
            const ShownScope noting(parser_.Messages(), &CMessageService::NoteShownInto, shown);
            try {
                Attempt();
                return;
            } catch (const RunDiverged&) {
            }
        }
        Restore(before);
        context_.PutBackOriginals();
        memo_->StartOver();
        const ShownScope passing(parser_.Messages(), &CMessageService::PassOver, shown);
        Attempt();
    }

  private:
    // Sets one of the message service's logs for as long as it lives, so
    // that no way out of the run leaves it pointing at a log that is gone.
    struct ShownScope {
        using Setter = void (CMessageService::*)(std::unordered_map<std::string, int>*);
        ShownScope(CMessageService& messages, Setter set, std::unordered_map<std::string, int>& log)
            : messages(messages), set(set) {
            (messages.*set)(&log);
        }
        ~ShownScope() { (messages.*set)(nullptr); }
        CMessageService& messages;
        Setter set;
    };

    struct EntryState {
        CTplFileRecord* entry;
        int runStatus;
        int standaloneDone;
    };

    std::vector<EntryState> Snapshot() {
        std::vector<EntryState> states;
        ForEachLive([&](CTplFileRecord& entry) {
            states.push_back({&entry, entry.RunStatus, entry.StandaloneDone});
        });
        return states;
    }

    void Restore(const std::vector<EntryState>& states) {
        for (const EntryState& state : states) {
            state.entry->RunStatus = state.runStatus;
            state.entry->StandaloneDone = state.standaloneDone;
        }
        taken_.clear();
        done_.clear();
        position_ = 0;
    }

    // A dry run deletes nothing, but announces the leftovers the run would
    // sweep, each by its path in the first target folder naming it.
    void NoteLeftovers() {
        std::unordered_set<FileId, FileIdHash> seen;
        ForEachLive([&](const CTplFileRecord& entry) {
            const FolderHandle folder = OpenFolder(entry.TargetPath.str());
            if (!folder || !seen.insert(folder->id).second) {
                return;
            }
            for (const std::string& name : FindLeftovers(folder->fd.Get())) {
                memo_->Files().NoteDeleted(JoinPath(entry.TargetPath.str(), name));
            }
        });
    }

    void Attempt() {
        const RunScope scope(context_);
        if (memo_ == nullptr || !memo_->DryRun()) {
            for (const FolderHandle& folder : context_.TargetFolders()) {
                SweepLeftovers(folder->fd.Get());
            }
        } else {
            NoteLeftovers();
        }
        const int selected = MarkWaiting();
        view_.UpdateFirstItem();
        view_.SetProgressRange(1, selected + 2);
        view_.SetProgressPos(1);
        GenerationPass();
        RegenerationPass();
        OrderedRegenerationPass();
        CleanUpPass();
        // Every page in place before the run's notion of them is checked.
        context_.WriteHeld();
        if (memo_ != nullptr) {
            CheckSettled();
            MarkUnchanged();
        }
        view_.SetProgressPos(1);
        view_.RefreshButtons();
    }

    struct RunScope {
        explicit RunScope(CGenerationContext& context) : context(context) { context.BeginRun(); }
        ~RunScope() { context.EndRun(); }
        CGenerationContext& context;
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

    // Tells the context which entry the run is working on, for the places
    // of its messages, while the object lives.
    struct InHand {
        InHand(CGenerationContext& context, const CTplFileRecord& entry) : context(context) {
            context.SetEntryInHand(&entry);
        }
        ~InHand() { context.SetEntryInHand(nullptr); }
        InHand(const InHand&) = delete;
        InHand& operator=(const InHand&) = delete;
        CGenerationContext& context;
    };

    void Generate(CTplFileRecord& entry, int pass) {
        const InHand inHand(context_, entry);
        SetStatus(entry, RunStatus::InProgress);
        const OutputResult result =
            memo_ != nullptr ? Remembered(entry, pass) : parser_.ProcessEntry(entry);
        context_.NoteOwnPass(entry, result == OutputResult::Written);
        Report(entry, result);
        entry.StandaloneDone = 1;
        SetStatus(entry, result == OutputResult::Written ? RunStatus::Done : RunStatus::Failed);
    }

    // Takes the step from the record when nothing it saw has changed;
    // otherwise does it and records it.
    OutputResult Remembered(CTplFileRecord& entry, int pass) {
        memo_->SetStep(entry.TPLFileId, pass);
        const Trace* trace = memo_->Recorded(entry.TPLFileId, pass);
        if (trace != nullptr && parser_.Recorder().TakeRecorded(entry, *trace)) {
            memo_->KeepStep(entry.TPLFileId, pass);
            taken_.insert(&entry);
            return OutputResult::Written;
        }
        done_.insert(&entry);
        memo_->BeginStep(entry.TPLFileId, pass);
        const int shown = parser_.Messages().ShownCount();
        context_.ClearTrouble();
        const OutputResult result = parser_.ProcessEntry(entry);
        memo_->EndStep(result == OutputResult::Written && !context_.Troubled() &&
                       parser_.Messages().ShownCount() == shown);
        return result;
    }

    // Every file whose text the run knows only by hash must hold it on
    // disk by now; where one does not, only a full run can put it there.
    void CheckSettled() {
        for (const auto& [path, left] : memo_->Files().Written()) {
            if (left.hash && !left.dryText && !memo_->Files().Settled(path)) {
                throw RunDiverged{};
            }
        }
    }

    void MarkUnchanged() {
        for (CTplFileRecord* entry : taken_) {
            if (done_.count(entry) == 0 && entry->RunStatus == static_cast<int>(RunStatus::Done)) {
                SetStatus(*entry, RunStatus::Unchanged);
            }
        }
    }

    // A ticked entry whose page was not written is named, once per run; an
    // include that fails the same way stays silent.
    void Report(const CTplFileRecord& entry, OutputResult result) {
        const std::string output = OutputPath(entry);
        switch (result) {
            case OutputResult::TemplateUnreadable:
                context_.ReportOnce(MessageId::kTemplateUnreadable,
                                    JoinPath(entry.SourcePath, entry.TPLFileName));
                break;
            case OutputResult::DirectoryMissing:
                context_.ReportOnce(MessageId::kTargetDirectoryMissing, entry.TargetPath.str(),
                                    output);
                break;
            case OutputResult::NotCreated:
                context_.ReportOnce(MessageId::kCannotCreateFile, output);
                break;
            case OutputResult::Written:
            case OutputResult::WriteFailed:  // reported when they happened
            case OutputResult::Refused:
                break;
        }
    }

    void GenerationPass() {
        context_.BeginPass();
        ForEachLive([&](CTplFileRecord& entry) {
            parser_.Defines().Clear();
            if (entry.Selected) {
                Generate(entry, 1);
                ++position_;
            }
            view_.SetProgressPos(position_);
        });
    }

    void RegenerationPass() {
        context_.BeginPass();
        ForEachLive([&](CTplFileRecord& entry) {
            parser_.Defines().Clear();
            if (entry.Selected && !entry.StandaloneDone) {
                Generate(entry, 2);
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
    // most once more, and only when its file does not hold the bytes of its
    // own text; one whose file does, whatever wrote them, is just done. Only
    // an include cycle, which has no such order, can still leave a page with
    // another template's text; it ends Failed, beside the cycle's message,
    // rather than in progress for ever.
    void OrderedRegenerationPass() {
        bool waiting = false;
        ForEachLive([&](const CTplFileRecord& entry) { waiting = waiting || Waits(entry); });
        if (!waiting) {
            return;
        }
        context_.BeginPass();
        for (CTplFileRecord* entry : IncludersFirst(parser_.Files())) {
            if (!Waits(*entry)) {
                continue;
            }
            if (!SettleIfOwnText(*entry)) {
                parser_.Defines().Clear();
                Generate(*entry, 3);
            }
        }
        ForEachLive([&](CTplFileRecord& entry) {
            if (Waits(entry) && !SettleIfOwnText(entry)) {
                SetStatus(entry, RunStatus::Failed);
            }
        });
    }

    // A waiting entry whose file holds its own text is done.
    bool SettleIfOwnText(CTplFileRecord& entry) {
        if (!context_.HoldsOwnText(entry)) {
            return false;
        }
        entry.StandaloneDone = 1;
        SetStatus(entry, RunStatus::Done);
        return true;
    }

    void CleanUpPass() {
        ForEachLive([&](const CTplFileRecord& entry) {
            if (!entry.CreateFile) {
                const InHand inHand(context_, entry);
                const std::string path = OutputPath(entry);
                const bool dryRun = memo_ != nullptr && memo_->DryRun();
                if (context_.RemoveGenerated(path, dryRun) && memo_ != nullptr) {
                    memo_->Files().NoteDeleted(path);
                }
            }
            view_.SetProgressPos(++position_);
        });
    }

    CTemplateParser& parser_;
    CGenerationContext& context_;
    IRunView& view_;
    CRunMemo* memo_;
    int position_ = 0;
    // Entries with a step taken from the record, and with one done.
    std::unordered_set<CTplFileRecord*> taken_;
    std::unordered_set<CTplFileRecord*> done_;
};

}  // namespace

void RunGeneration(CTemplateParser& parser, IRunView& view) {
    Run(parser, view).Execute();
}

}  // namespace pellandrix
