#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "engine/define_table.h"
#include "engine/generation_context.h"
#include "engine/line_engine.h"
#include "engine/run_memo.h"
#include "engine/run_view.h"
#include "engine/step_recorder.h"
#include "engine/template_frame.h"
#include "store/tpl_file_list.h"
#include "support/message_service.h"

namespace pellandrix {

// Turns template-file entries of the open project into their generated
// files: reads each template line by line, obeys its directives, resolves
// its includes and writes the text. Owns the define table shared by a
// template and everything it includes, the run's context and the step
// recorder. Borrows the project's template-file list and the message
// service (and the view and memo, when set), which must outlive it.
class CTemplateParser {
  public:
    CTemplateParser(CMessageService& messages, CTplFileList& files);
    CTemplateParser(const CTemplateParser&) = delete;
    CTemplateParser& operator=(const CTemplateParser&) = delete;

    CTplFileList& Files() { return context_.Files(); }
    const CTplFileList& Files() const { return context_.Files(); }
    CDefineTable& Defines() { return defines_; }
    CMessageService& Messages() { return context_.Messages(); }
    // What the run in progress holds, and its recorder (see there).
    CGenerationContext& Context() { return context_; }
    const CGenerationContext& Context() const { return context_; }
    CStepRecorder& Recorder() { return recorder_; }

    // See CGenerationContext::SetView and SetMemo.
    void SetView(IRunView* view) { context_.SetView(view); }
    void SetMemo(CRunMemo* memo) { context_.SetMemo(memo); }
    CRunMemo* Memo() const { return context_.Memo(); }

    // Reads the entry's template from its SourcePath, writes the generated
    // file "<TargetPath>/<base>.<CreateFileExt>" and resolves #include lines.
    // Returns false when the template cannot be opened (nothing has happened
    // then); true otherwise, also when the generated file cannot be created
    // (then the template still takes effect, but nothing is written).
    // The entry's RunStatus becomes Done when its file was written.
    // Outside a run (CGenerationContext::BeginRun) it makes one for the call.
    bool ProcessTemplate(CTplFileRecord& entry);
    // The same, telling what became of the entry's own generated file.
    OutputResult ProcessEntry(CTplFileRecord& entry);

  private:
    OutputResult ProcessInRun(CTplFileRecord& entry);
    // Reads the top frame until it reaches an #include of a template to
    // generate (returned) or its end (null).
    std::unique_ptr<TemplateFrame> ReadOn(TemplateFrame& frame);
    std::unique_ptr<TemplateFrame> OpenFrame(CTplFileRecord& entry, bool included);
    void OpenOutput(TemplateFrame& frame);
    std::unique_ptr<TemplateFrame> ResolveInclude(TemplateFrame& frame, std::string_view argument);
    void RecordInclude(const CTplFileRecord* found, const std::string& path, std::string_view name);
    OutputResult FinishFrame(TemplateFrame& frame);
    OutputResult CommitFrame(TemplateFrame& frame);
    OutputResult HoldFrame(TemplateFrame& frame, std::string text);
    void NotePlaced(const TemplateFrame& frame);
    void CompleteInclude(TemplateFrame& parent, const TemplateFrame& child);
    void MarkRegenerated(CTplFileRecord& included);

    CGenerationContext context_;
    CStepRecorder recorder_{context_};
    CDefineTable defines_;
    CLineEngine engine_;
    // Entries on the current include chain; one found here again is a cycle.
    std::unordered_set<const CTplFileRecord*> active_;
};

}  // namespace pellandrix
