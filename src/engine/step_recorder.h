#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "engine/generation_context.h"
#include "engine/line_engine.h"
#include "engine/run_trace.h"
#include "engine/template_frame.h"

namespace pellandrix {

// Records what each step of an incremental run observes into the memo's
// trace while the parser does the step, and takes a step from the record
// instead of doing it when every observation still holds. A step is
// generating one entry in one pass; the memo (CGenerationContext::Memo)
// decides which step is recorded or taken. Without a memo nothing is
// recorded and reads go to the disk. Borrows the run's context, which must
// outlive it.
//
// What holds for every step, done or taken from the record:
// - It starts on an empty define table: the run clears the table before
//   each entry's own pass, and nothing else carries names across steps.
//   So what a step writes depends only on what its trace observed.
// - Its observations come in reading order: the entry's template (Frame),
//   then per #include line the lookup (IncludedEntry), then either a copy
//   of the included page as it stands (InsertsVerbatim) or the included
//   template's own frame, after which, or after it could not be opened, the
//   mark (MarksForRegeneration); a frame's page is written when its
//   template has been read to the end, innermost first, the entry's own
//   last. TakeRecorded checks a trace in that same order, laying the
//   step's own effects over the run as they happen, since a later
//   observation may see an earlier one's effect.
// - A Trace that CRunMemo::Recorded hands out lives in the memo until the
//   next call of Recorded; CRunMemo::Recording is valid only between
//   BeginStep and EndStep, and grows while the step runs, so a frame keeps
//   the index of its Frame step, never a pointer. No pointer into a trace
//   is kept beyond the call that received it.
// - A step that called for a message is never kept (see
//   CGenerationContext::Troubled), so a step taken from the record never
//   has a message to show.
class CStepRecorder {
  public:
    explicit CStepRecorder(CGenerationContext& context) : context_(context) {}
    CStepRecorder(const CStepRecorder&) = delete;
    CStepRecorder& operator=(const CStepRecorder&) = delete;

    // Appends `step` to the trace of the step being recorded, if any.
    void Record(TraceStep step);
    // Records the Frame step of `frame`, just opened, and notes its index.
    void RecordFrame(TemplateFrame& frame);
    // Copies the file at `path` to `output` as this run sees it (a dry
    // run's text, or the disk), recorded as step `op` with the hash of what
    // was read. A null output reads and writes nothing else. Throws
    // RunDiverged when the disk may not hold what the run says is there.
    void AppendRecorded(ITextSink* output, const std::string& path, TraceOp op);
    // Notes the template of `frame`, read to the end, as read, and fills
    // in the hash of its Frame step.
    void NoteTemplateRead(TemplateFrame& frame);
    // Records the frame's file as written with `text` (null: read it back),
    // whose hash is `textHash` when the caller knows it, and returns, when
    // `compare`, whether that changed what the run knew the file to hold.
    // Needs a memo.
    bool NoteWritten(TemplateFrame& frame, const std::string* text, bool compare,
                     const ContentHash* textHash = nullptr);

    // Takes the step of generating `entry` from the memo's record instead
    // of doing it: when everything `trace` observed still holds, applies
    // its effects (statuses, marks, the files' new contents in the memo's
    // notion) and returns true. Otherwise changes nothing, notes the first
    // observation that no longer holds as the entry's reason, and returns
    // false. Needs a memo.
    bool TakeRecorded(CTplFileRecord& entry, const Trace& trace);

  private:
    struct Replay;

    CGenerationContext& context_;
};

}  // namespace pellandrix
