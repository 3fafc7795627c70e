#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/held_texts.h"
#include "engine/output_guard.h"
#include "engine/run_memo.h"
#include "engine/run_view.h"
#include "engine/source_place.h"
#include "engine/step_rules.h"
#include "engine/template_copies.h"
#include "engine/template_frame.h"
#include "store/tpl_file_list.h"
#include "support/aside_file.h"
#include "support/message_service.h"
#include "support/spare_files.h"

namespace pellandrix {

// What one generation run holds beside the text work: what it may write and
// delete, what it has reported, the pages it keeps to put back, the entries
// as it found them, and where it stands. BeginRun starts it afresh. Borrows
// the message service and the file list (and the view and memo, when set),
// which must outlive it.
class CGenerationContext {
  public:
    CGenerationContext(CMessageService& messages, CTplFileList& files);
    CGenerationContext(const CGenerationContext&) = delete;
    CGenerationContext& operator=(const CGenerationContext&) = delete;

    CTplFileList& Files() { return files_; }
    const CTplFileList& Files() const { return files_; }
    CMessageService& Messages() { return messages_; }

    // The window whose rows show the statuses, or null for none.
    void SetView(IRunView* view) { view_ = view; }
    IRunView* View() const { return view_; }

    // The memory of an incremental run, or null for none. With one, every
    // entry processed records what it read and wrote (see CRunMemo), reads
    // go through its notion of the files, and in a dry run nothing is
    // written. Must outlive its use.
    void SetMemo(CRunMemo* memo) { memo_ = memo; }
    CRunMemo* Memo() const { return memo_; }

    // A generation run brackets its passes with these. BeginRun notes what
    // the run may replace and delete (COutputGuard) and the live entries as
    // the list stands now, and forgets what earlier runs noted; EndRun
    // removes the spare files kept while generated files were written (see
    // CSpareFiles).
    void BeginRun();
    void EndRun();
    bool InRun() const { return inRun_; }
    // A new pass of a run: every include cycle is reported afresh, each
    // #include line that closes one at most once per pass.
    void BeginPass() { cyclesReported_.clear(); }

    // Shows an error message unless the same text was shown by ReportOnce
    // already in this run.
    void ReportOnce(MessageId id, std::string_view first, std::string_view second = {});
    // Shows the cycle closed by the #include at `line` of `name`, unless
    // that line closed one already in this pass.
    void ReportCycle(const std::string& name, int line);

    // Whether anything since ClearTrouble called for a message, shown or
    // not (a message is shown once per run or pass): a cycle, a refused or
    // failed write. Such a step is always done again, never taken from the
    // record, so that it can say so again.
    void ClearTrouble() { troubled_ = false; }
    void NoteTrouble() { troubled_ = true; }
    bool Troubled() const { return troubled_; }

    // Whether `verdict` lets the run write or delete `path`; a refusal is
    // reported once.
    bool Allowed(COutputGuard::Verdict verdict, const std::string& path);
    // The guard's decision on writing `path`; a refusal is reported once
    // and remembered, so that the run never deletes that path either.
    COutputGuard::Decision DecideWrite(const std::string& path);
    // Whether writing `path` now is allowed, looked up once per run.
    COutputGuard::Verdict WriteVerdict(const std::string& path);
    // The guard as BeginRun set it, deciding without reporting.
    const COutputGuard& Guard() const { return guard_; }
    CSpareFiles& Spares() { return spares_; }

    // The texts of included templates' files held instead of written (see
    // CHeldTexts): only in a run that writes every page anew, neither an
    // incremental nor a dry one, whose notion of the files must be on disk
    // at every step.
    bool MayHold() const {
        return inRun_ && (memo_ == nullptr || (!memo_->Incremental() && !memo_->DryRun()));
    }
    CHeldTexts& Held() { return held_; }
    // The included templates' texts a run that may hold reads again from
    // memory (see CTemplateCopies).
    CTemplateCopies& Copies() { return copies_; }
    // Holds `text` for `known` (see CHeldTexts::Hold); past a few megabytes
    // held in all, every held text is written.
    bool HoldText(CHeldTexts::Known& known, std::string text, const ContentHash& hash);
    // Writes every held text to its file, before anything reads a file the
    // run may have written, and at the end of the passes. A file that cannot
    // be written is reported as a failed write.
    void WriteHeld();
    // The target folders of the live entries as BeginRun found them, open.
    const std::vector<FolderHandle>& TargetFolders() const { return guard_.TargetFolders(); }

    // The live entries as BeginRun found them.
    const EntryIndex& ByName() const { return byName_; }
    CTplFileRecord* EntryById(int id) const;

    // The run tells after an entry's own pass (the parser's ProcessEntry or
    // the recorder's TakeRecorded of that entry, nothing in between, each
    // of which ends with SetLastOwnText) whether it wrote the entry's file.
    // HoldsOwnText is true while the file holds the bytes of that pass's
    // text: as the run knows the file (a memo's notion, or the disk),
    // whatever includes have put there since, which they tell by
    // MarkOverwritten.
    void SetLastOwnText(std::optional<ContentHash> hash) { lastOwnHash_ = hash; }
    void NoteOwnPass(const CTplFileRecord& entry, bool written);
    bool HoldsOwnText(const CTplFileRecord& entry);
    void MarkOverwritten(const CTplFileRecord& entry);

    // Deletes the generated file at `path` (a link itself, never what it
    // points to) where the run may (see COutputGuard): in the target folder
    // it was found in, and only while it is the file found there. Returns
    // false when the run may not; the refusal is reported once and the file
    // stays. A path the run refused to write is never deleted either: the
    // message said it is left as it is. `dryRun` only decides.
    bool RemoveGenerated(const std::string& path, bool dryRun);
    // Keeps what is at `path` before an incremental run first replaces or
    // deletes it; a regular file's bytes, or that nothing was there.
    void KeepOriginal(const std::string& path);
    // Puts back the pages an incremental run changed before it found it
    // must start over as a full run, as they were when the run began: the
    // full run then starts from what a full run starts from. Keeps nothing
    // afterwards.
    void PutBackOriginals();

    // Where the run is, for a message shown now: the template being read
    // at the line being handled, then each template that includes it at the
    // line of its #include, innermost first. While an entry is in hand
    // but none of its templates is being read (its page could not be
    // written, say), that entry's template as a whole. Empty otherwise.
    std::vector<SourcePlace> Where() const;
    // The entry the run is working on, or null when it is done with it.
    void SetEntryInHand(const CTplFileRecord* entry) { inHand_ = entry; }
    // The include chain being read, or null; must outlive its use.
    void SetChain(const FrameStack* frames) { frames_ = frames; }

  private:
    CMessageService& messages_;
    CTplFileList& files_;
    IRunView* view_ = nullptr;
    CRunMemo* memo_ = nullptr;
    bool inRun_ = false;
    bool troubled_ = false;
    const FrameStack* frames_ = nullptr;
    const CTplFileRecord* inHand_ = nullptr;
    EntryIndex byName_;
    std::unordered_map<int, CTplFileRecord*> byId_;
    COutputGuard guard_;
    // Verdicts on generated files that steps taken from the record would
    // have written.
    std::unordered_map<std::string, COutputGuard::Verdict> verdicts_;
    // Generated files written more than once (included pieces) take turns
    // with a kept spare instead of a new file per write.
    CSpareFiles spares_;
    CHeldTexts held_;
    CTemplateCopies copies_;
    std::map<std::string, std::optional<CAsideFile::Piece>> originals_;  // see KeepOriginal
    CAsideFile aside_;
    std::unordered_set<std::string> reported_;        // texts shown by ReportOnce
    std::unordered_set<std::string> cyclesReported_;  // "<file>:<line>" this pass
    std::unordered_set<std::string> refused_;         // paths refused to write, this run
    // See HoldsOwnText: the hash of each entry's own text, and whether an
    // include has written its file since (until then it surely holds it).
    struct OwnText {
        ContentHash hash;
        bool overwritten = false;
    };
    std::unordered_map<const CTplFileRecord*, OwnText> ownText_;
    std::optional<ContentHash> lastOwnHash_;
};

}  // namespace pellandrix
