#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/define_table.h"
#include "engine/line_engine.h"
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

    // Removes the spare files kept while generated files were written (see
    // CSpareFiles); a generation run calls it when it ends.
    void ReleaseSpareFiles() { spares_.Release(); }

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
};

}  // namespace pellandrix
