#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/define_table.h"
#include "engine/line_engine.h"
#include "engine/output_guard.h"
#include "engine/run_memo.h"
#include "engine/run_view.h"
#include "engine/source_place.h"
#include "engine/step_rules.h"
#include "store/tpl_file_list.h"
#include "support/message_service.h"
#include "support/spare_files.h"

namespace pellandrix {

// What became of an entry's own generated file when it was processed.
enum class OutputResult {
    Written,             // in place (or it already held exactly that text)
    TemplateUnreadable,  // the template could not be opened: nothing happened
    DirectoryMissing,    // the target folder does not exist
    NotCreated,          // the file could not be created for another reason
    WriteFailed,         // writing broke off; reported as it happened
    Refused,             // the file is a template or lies outside the target
                         // folders (COutputGuard); reported as it happened
};

// Turns template-file entries of the open project into their generated
// files. Owns the project's template-file list and the define table shared
// by a template and everything it includes. Borrows the message service
// (and the view, when one is set), which must outlive it.
class CTemplateParser {
  public:
    explicit CTemplateParser(CMessageService& messages);
    ~CTemplateParser();
    CTemplateParser(const CTemplateParser&) = delete;
    CTemplateParser& operator=(const CTemplateParser&) = delete;

    CTplFileList& Files() { return files_; }
    const CTplFileList& Files() const { return files_; }
    CDefineTable& Defines() { return defines_; }
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

    // Takes the step of generating `entry` from the memo's record instead
    // of doing it: when everything `trace` observed still holds, applies
    // its effects (statuses, marks, the files' new contents in the memo's
    // notion) and returns true. Otherwise changes nothing, notes the first
    // observation that no longer holds as the entry's reason, and returns
    // false. Throws RunDiverged as ProcessEntry does.
    bool TakeRecorded(CTplFileRecord& entry, const Trace& trace);

    // Whether anything since ClearTrouble called for a message, shown or
    // not (a message is shown once per run or pass): a cycle, a refused or
    // failed write. Such a step is always done again, never taken from the
    // record, so that it can say so again.
    void ClearTrouble() { troubled_ = false; }
    bool Troubled() const { return troubled_; }

    // Reads the entry's template from its SourcePath, writes the generated
    // file "<TargetPath>/<base>.<CreateFileExt>" and resolves #include lines.
    // Returns false when the template cannot be opened (nothing has happened
    // then); true otherwise, also when the generated file cannot be created
    // (then the template still takes effect, but nothing is written).
    // The entry's RunStatus becomes Done when its file was written.
    bool ProcessTemplate(CTplFileRecord& entry);
    // The same, telling what became of the entry's own generated file.
    OutputResult ProcessEntry(CTplFileRecord& entry);

    // A generation run brackets its passes with these. BeginRun notes what
    // the run may replace and delete (COutputGuard) as the list stands now,
    // and forgets the messages shown by ReportOnce; EndRun removes the spare
    // files kept while generated files were written (see CSpareFiles).
    // ProcessTemplate outside a run does both around each call.
    void BeginRun();
    void EndRun();
    // A new pass of a run: every include cycle is reported afresh, each
    // #include line that closes one at most once per pass.
    void BeginPass() { cyclesReported_.clear(); }

    // Shows an error message unless the same text was shown by ReportOnce
    // already in this run (or in this call of ProcessTemplate outside one).
    void ReportOnce(MessageId id, std::string_view first, std::string_view second = {});

    // The run tells after an entry's own pass (ProcessEntry or
    // TakeRecorded of that entry, nothing in between) whether it wrote the
    // entry's file. HoldsOwnText is true while the file holds the bytes of
    // that pass's text: as the run knows the file (a memo's notion, or the
    // disk), whatever includes have put there since.
    void NoteOwnPass(const CTplFileRecord& entry, bool written);
    bool HoldsOwnText(const CTplFileRecord& entry);

    // Deletes the generated file at `path` (a link itself, never what it
    // points to) where the run may (see COutputGuard): in the target folder
    // it was found in, and only while it is the file found there. Returns
    // false when the run may not; the refusal is reported once and the file
    // stays. A path the run refused to write is never deleted either: the
    // message said it is left as it is. `dryRun` only decides.
    bool RemoveGenerated(const std::string& path, bool dryRun);
    // Puts back the pages an incremental run changed before it found it
    // must start over as a full run, as they were when the run began: the
    // full run then starts from what a full run starts from. Keeps nothing
    // afterwards.
    void PutBackOriginals();

    // Where the run is, for a message shown now: the template being read
    // at the line being handled, then each template that includes it at the
    // line of its #include, innermost first. While an entry is in hand
    // (SetEntryInHand) but none of its templates is being read (its page
    // could not be written, say), that entry's template as a whole. Empty
    // otherwise.
    std::vector<SourcePlace> Where() const;
    // The entry the run is working on, or null when it is done with it.
    void SetEntryInHand(const CTplFileRecord* entry) { inHand_ = entry; }

    // The target folders of the live entries as BeginRun found them, open.
    const std::vector<FolderHandle>& TargetFolders() const { return guard_.TargetFolders(); }

    // Copies the text file `path` to `output` chunk by chunk, obeying no
    // directive. A null output reads the file and writes nothing. Returns
    // false when the file cannot be opened.
    static bool AppendFileVerbatim(ITextSink* output, const std::string& path);

  private:
    struct Frame;
    struct Replay;

    std::unique_ptr<Frame> OpenFrame(CTplFileRecord& entry);
    std::unique_ptr<Frame> ResolveInclude(Frame& frame, std::string_view argument);
    OutputResult FinishFrame(Frame& frame);
    void CompleteInclude(Frame& parent, const Frame& child);
    void MarkRegenerated(CTplFileRecord& included);
    bool Allowed(COutputGuard::Verdict verdict, const std::string& path);
    // AppendFileVerbatim as this run sees `path` (a dry run's text, or the
    // disk), recorded as step `op` when the memo records.
    void AppendRecorded(ITextSink* output, const std::string& path, TraceOp op);
    void Record(TraceStep step);
    // Records the frame's file as written with `text` (null: read it back)
    // and returns, when `compare`, whether that changed what the run knew
    // the file to hold.
    bool NoteWritten(Frame& frame, const std::string* text, bool compare);
    void NoteTemplateRead(Frame& frame);
    // The hash of the text `frame` put in place; none when it wrote none.
    static std::optional<ContentHash> TextHash(const Frame& frame);
    CTplFileRecord* EntryById(int id) const;
    // Keeps what is at `path` before an incremental run first replaces or
    // deletes it (see PutBackOriginals); a regular file's bytes, or that
    // nothing was there.
    void KeepOriginal(const std::string& path);

    CMessageService& messages_;
    IRunView* view_ = nullptr;
    CRunMemo* memo_ = nullptr;
    bool troubled_ = false;
    // The include chain ProcessEntry is working through, and the entry in
    // hand; see Where.
    const std::vector<std::unique_ptr<Frame>>* frames_ = nullptr;
    const CTplFileRecord* inHand_ = nullptr;
    // The live entries by name and id, as BeginRun found them.
    EntryIndex byName_;
    std::unordered_map<int, CTplFileRecord*> byId_;
    // Verdicts on generated files that steps taken from the record would
    // have written, looked up once per run.
    std::unordered_map<std::string, COutputGuard::Verdict> verdicts_;
    std::map<std::string, std::optional<std::string>> originals_;  // see KeepOriginal
    CTplFileList files_;
    CDefineTable defines_;
    CLineEngine engine_;
    // Generated files written more than once (included pieces) take turns
    // with a kept spare instead of a new file per write.
    CSpareFiles spares_;
    // Entries on the current include chain; one found here again is a cycle.
    std::unordered_set<const CTplFileRecord*> active_;
    COutputGuard guard_;
    bool inRun_ = false;
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
    // The text the last ProcessEntry or TakeRecorded left in the entry's own
    // file; none when it wrote none.
    std::optional<ContentHash> lastOwnHash_;
    void MarkOverwritten(const CTplFileRecord& entry);
};

}  // namespace pellandrix
