// Recording what a step reads and writes, and reading through the run's
// notion of the files while it does.
#include "engine/step_recorder.h"

#include "support/text_file.h"

namespace pellandrix {

void CStepRecorder::Record(TraceStep step) {
    CRunMemo* memo = context_.Memo();
    if (memo != nullptr && memo->Recording() != nullptr) {
        memo->Recording()->steps.push_back(std::move(step));
    }
}

void CStepRecorder::RecordFrame(TemplateFrame& frame) {
    CRunMemo* memo = context_.Memo();
    if (memo != nullptr && memo->Recording() != nullptr) {
        frame.traceStep = memo->Recording()->steps.size();
        Record(
            {TraceOp::Frame, frame.entry->TPLFileId, 0, frame.templatePath, frame.outputPath, {}});
    }
}

void CStepRecorder::AppendRecorded(ITextSink* output, const std::string& path, TraceOp op) {
    CRunMemo* memo = context_.Memo();
    if (memo == nullptr) {
        AppendFileVerbatim(output, path);
        return;
    }
    CRunFiles& files = memo->Files();
    std::optional<ContentHash> hash;
    if (const std::string* text = files.DryText(path)) {
        if (output != nullptr) {
            output->Write(AsRead(*text));
        }
        hash = HashBytes(*text);
    } else if (!files.Wrote(path) || files.Current(path)) {
        // The disk must hold what the run says is there; after a step taken
        // from the record it may not, and only a full run can tell.
        if (!files.Settled(path)) {
            throw RunDiverged{};
        }
        const std::int64_t startedNs = WallClockNs();
        CTextReader reader;
        if (reader.Open(path)) {
            reader.StartHashing();
            std::string_view chunk;
            while (reader.ReadChunk(&chunk)) {
                if (output != nullptr) {
                    output->Write(chunk);
                }
            }
            if (const std::optional<HashedFile> read = reader.HashRead()) {
                hash = read->hash;
                files.NoteRead(path, *read, startedNs);
            }
        }
    }
    Record({op, 0, 0, path, {}, hash});
}

void CStepRecorder::NoteTemplateRead(TemplateFrame& frame) {
    CRunMemo* memo = context_.Memo();
    if (memo == nullptr) {
        return;
    }
    const std::optional<HashedFile> read = frame.reader.HashRead();
    if (!read) {
        return;
    }
    memo->Files().NoteRead(frame.templatePath, *read, frame.startedNs);
    if (memo->Recording() != nullptr) {
        memo->Recording()->steps[frame.traceStep].hash = read->hash;
    }
}

bool CStepRecorder::NoteWritten(TemplateFrame& frame, const std::string* text, bool compare,
                                const ContentHash* textHash) {
    CRunMemo& memo = *context_.Memo();
    CRunFiles& files = memo.Files();
    std::optional<ContentHash> hash;
    if (text != nullptr && textHash != nullptr) {
        hash = *textHash;
    } else if (text != nullptr) {
        hash = HashBytes(*text);
    } else if (const std::optional<HashedFile> read = HashFile(frame.outputPath)) {
        hash = read->hash;
    }
    if (!hash) {
        // The file vanished as soon as it was written: nothing that a later
        // run could trust.
        files.NoteDeleted(frame.outputPath);
        Record({TraceOp::Written, frame.entry->TPLFileId, 0, frame.outputPath, {}, {}});
        return true;
    }
    const bool changed = compare && files.Current(frame.outputPath) != hash;
    if (frame.isDry) {
        files.NoteWritten(frame.outputPath, *hash, false, *text);
    } else {
        files.NoteWritten(frame.outputPath, *hash, true);
    }
    frame.hash = hash;
    memo.NoteWriter(frame.outputPath);
    Record({TraceOp::Written, frame.entry->TPLFileId, 0, frame.outputPath, {}, hash});
    return changed;
}

}  // namespace pellandrix
