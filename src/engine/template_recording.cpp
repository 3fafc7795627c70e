// What a parser does for an incremental run's memo while it generates: it
// records what each template read and wrote, and reads through the run's
// notion of the files.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "engine/template_frame.h"
#include "support/text_file.h"

namespace pellandrix {

void CTemplateParser::Record(TraceStep step) {
    if (memo_ != nullptr && memo_->Recording() != nullptr) {
        memo_->Recording()->steps.push_back(std::move(step));
    }
}

CTplFileRecord* CTemplateParser::EntryById(int id) const {
    const auto found = byId_.find(id);
    return found != byId_.end() ? found->second : nullptr;
}

void CTemplateParser::KeepOriginal(const std::string& path) {
    if (memo_ == nullptr || !memo_->Incremental() || memo_->DryRun() ||
        originals_.count(path) != 0) {
        return;
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            originals_.emplace(path, std::nullopt);
        }
        return;
    }
    // Devices and pipes are written into, not replaced: there is nothing
    // to put back.
    if (S_ISREG(st.st_mode)) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        if (in) {
            originals_.emplace(path, bytes.str());
        }
    }
}

void CTemplateParser::PutBackOriginals() {
    for (const auto& [path, bytes] : originals_) {
        if (bytes) {
            CTextWriter writer;
            if (writer.Open(path)) {
                writer.WriteAsIs(*bytes);
                writer.Commit();
            }
        } else if (const COutputGuard::Decision gone = guard_.DecideDelete(path);
                   gone.verdict == COutputGuard::Verdict::Allowed && gone.place && gone.found) {
            RemoveIfSame(*gone.place, *gone.found);
        }
    }
    originals_.clear();
}

void CTemplateParser::AppendRecorded(ITextSink* output, const std::string& path, TraceOp op) {
    if (memo_ == nullptr) {
        AppendFileVerbatim(output, path);
        return;
    }
    CRunFiles& files = memo_->Files();
    std::optional<ContentHash> hash;
    if (const std::string* text = files.DryText(path)) {
        if (output != nullptr) {
            output->Write(AsRead(*text));
        }
        hash = HashBytes(*text);
    } else if (files.Written().count(path) == 0 || files.Current(path)) {
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

void CTemplateParser::NoteTemplateRead(Frame& frame) {
    const std::optional<HashedFile> read = frame.reader.HashRead();
    if (!read) {
        return;
    }
    memo_->Files().NoteRead(frame.templatePath, *read, frame.startedNs);
    if (memo_->Recording() != nullptr) {
        memo_->Recording()->steps[frame.traceStep].hash = read->hash;
    }
}

bool CTemplateParser::NoteWritten(Frame& frame, const std::string* text, bool compare) {
    CRunFiles& files = memo_->Files();
    std::optional<ContentHash> hash;
    if (text != nullptr) {
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
    memo_->NoteWriter(frame.outputPath);
    Record({TraceOp::Written, frame.entry->TPLFileId, 0, frame.outputPath, {}, hash});
    return changed;
}

}  // namespace pellandrix
