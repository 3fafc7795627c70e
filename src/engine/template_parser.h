#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/define_table.h"
#include "engine/line_engine.h"
#include "engine/output_guard.h"
#include "engine/run_view.h"
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

    // The run tells after an entry's own pass whether it wrote the entry's
    // file. HoldsOwnText is true while the file still holds that pass's
    // text: it was written, and no include has put other text there since
    // (an include that yields the same text leaves the file as it is).
    void NoteOwnPass(const CTplFileRecord& entry, bool written);
    bool HoldsOwnText(const CTplFileRecord& entry) const;

    // True when the run may delete `path` (see COutputGuard); otherwise the
    // refusal is reported once and the file must be left alone.
    bool MayDelete(const std::string& path);

    // The target folders of the live entries as BeginRun found them.
    const std::unordered_set<std::string>& TargetFolders() const { return guard_.TargetFolders(); }

    // Copies the text file `path` to `output` chunk by chunk, obeying no
    // directive. A null output reads the file and writes nothing. Returns
    // false when the file cannot be opened.
    static bool AppendFileVerbatim(ITextSink* output, const std::string& path);

  private:
    struct Frame;

    std::unique_ptr<Frame> OpenFrame(CTplFileRecord& entry);
    std::unique_ptr<Frame> ResolveInclude(Frame& frame, std::string_view argument);
    OutputResult FinishFrame(Frame& frame);
    void CompleteInclude(Frame& parent, const Frame& child);
    void MarkRegenerated(CTplFileRecord& included);
    bool Allowed(COutputGuard::Verdict verdict, const std::string& path);

    CMessageService& messages_;
    IRunView* view_ = nullptr;
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
    std::unordered_set<std::string> reported_;           // texts shown by ReportOnce
    std::unordered_set<std::string> cyclesReported_;     // "<file>:<line>" this pass
    std::unordered_set<const CTplFileRecord*> ownText_;  // see HoldsOwnText
};

}  // namespace pellandrix
