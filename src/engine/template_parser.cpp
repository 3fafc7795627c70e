#include "engine/template_parser.h"

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "engine/directives.h"
#include "engine/run_status.h"
#include "engine/step_rules.h"
#include "engine/template_frame.h"
#include "engine/template_paths.h"
#include "support/text_file.h"

namespace pellandrix {

namespace {

// The upper include levels keep their open template and the text written so
// far while an include is generated; deeper ones give up descriptors and
// memory, so that a long include chain holds neither per level.
constexpr std::size_t kLevelsKeptOpen = 16;

std::optional<FileId> FileAt(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileId{st.st_dev, st.st_ino};
}

// Why a generated file could not be created: a missing folder is the
// common, nameable cause.
OutputResult CreateFailure(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    struct stat st;
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? OutputResult::NotCreated
                                                                : OutputResult::DirectoryMissing;
}

}  // namespace

CTemplateParser::CTemplateParser(CMessageService& messages)
    : messages_(messages), engine_(defines_, messages) {}

CTemplateParser::~CTemplateParser() = default;

bool CTemplateParser::AppendFileVerbatim(ITextSink* output, const std::string& path) {
    CTextReader reader;
    if (!reader.Open(path)) {
        return false;
    }
    std::string_view chunk;
    while (reader.ReadChunk(&chunk)) {
        if (output != nullptr) {
            output->Write(chunk);
        }
    }
    return true;
}

std::unique_ptr<CTemplateParser::Frame> CTemplateParser::OpenFrame(CTplFileRecord& entry) {
    auto frame = std::make_unique<Frame>();
    frame->entry = &entry;
    frame->templatePath = JoinPath(entry.SourcePath, entry.TPLFileName);
    frame->outputPath = OutputPath(entry);
    frame->startedNs = memo_ != nullptr ? WallClockNs() : 0;
    const bool opened = frame->reader.Open(frame->templatePath);
    if (memo_ != nullptr && memo_->Recording() != nullptr) {
        frame->traceStep = memo_->Recording()->steps.size();
        Record({TraceOp::Frame, entry.TPLFileId, 0, frame->templatePath, frame->outputPath, {}});
    }
    if (!opened) {
        return nullptr;
    }
    if (memo_ != nullptr) {
        frame->reader.StartHashing();
    }
    COutputGuard::Decision decision = guard_.DecideWrite(frame->outputPath);
    if (!Allowed(decision.verdict, frame->outputPath)) {
        refused_.insert(frame->outputPath);
        frame->result = OutputResult::Refused;
        return frame;
    }
    if (memo_ != nullptr && memo_->DryRun()) {
        frame->isDry = true;
        frame->hasOutput = decision.place && CTextWriter::CanOpen(*decision.place);
        troubled_ = troubled_ || !frame->hasOutput;
        if (!frame->hasOutput) {
            frame->result = CreateFailure(frame->outputPath);
        }
        return frame;
    }
    frame->hasOutput = decision.place && frame->writer.Open(std::move(*decision.place), &spares_);
    troubled_ = troubled_ || !frame->hasOutput;
    if (!frame->hasOutput) {
        frame->result = CreateFailure(frame->outputPath);
    }
    return frame;
}

bool CTemplateParser::ProcessTemplate(CTplFileRecord& entry) {
    return ProcessEntry(entry) != OutputResult::TemplateUnreadable;
}

void CTemplateParser::BeginRun() {
    active_.clear();
    guard_.Reset(files_);
    byName_.clear();
    byId_.clear();
    verdicts_.clear();
    for (CTplFileRecord& entry : files_.Records()) {
        if (!entry.Deleted) {
            byName_.emplace(entry.TPLFileName.str(), &entry);
            byId_.emplace(entry.TPLFileId, &entry);
        }
    }
    reported_.clear();
    cyclesReported_.clear();
    ownText_.clear();
    refused_.clear();
    inRun_ = true;
}

void CTemplateParser::NoteOwnPass(const CTplFileRecord& entry, bool written) {
    if (written && lastOwnHash_) {
        ownText_[&entry] = OwnText{*lastOwnHash_, false};
    } else {
        ownText_.erase(&entry);
    }
}

void CTemplateParser::MarkOverwritten(const CTplFileRecord& entry) {
    const auto found = ownText_.find(&entry);
    if (found != ownText_.end()) {
        found->second.overwritten = true;
    }
}

bool CTemplateParser::HoldsOwnText(const CTplFileRecord& entry) {
    const auto found = ownText_.find(&entry);
    if (found == ownText_.end()) {
        return false;
    }
    if (!found->second.overwritten) {
        return true;
    }
    // Includes wrote the file since: another include may have put the very
    // same bytes back, so only the bytes can tell.
    const std::string path = OutputPath(entry);
    if (memo_ != nullptr) {
        return memo_->Files().Current(path) == found->second.hash;
    }
    const std::optional<HashedFile> disk = HashFile(path);
    return disk && disk->hash == found->second.hash;
}

std::optional<ContentHash> CTemplateParser::TextHash(const Frame& frame) {
    if (!frame.written) {
        return std::nullopt;
    }
    if (frame.hash) {
        return frame.hash;
    }
    if (const std::string* text = frame.isDry ? &frame.dry.Text() : frame.writer.CommittedText()) {
        return HashBytes(*text);
    }
    const std::optional<HashedFile> read = HashFile(frame.outputPath);
    return read ? std::optional<ContentHash>(read->hash) : std::nullopt;
}

void CTemplateParser::EndRun() {
    inRun_ = false;
    spares_.Release();
}

void CTemplateParser::ReportOnce(MessageId id, std::string_view first, std::string_view second) {
    troubled_ = true;
    if (reported_.insert(FormatMessage(id, first, second)).second) {
        messages_.ShowError(id, first, second);
    }
}

std::vector<SourcePlace> CTemplateParser::Where() const {
    std::vector<SourcePlace> places;
    if (frames_ != nullptr) {
        for (auto frame = frames_->rbegin(); frame != frames_->rend(); ++frame) {
            places.push_back({(*frame)->templatePath, (*frame)->state.line});
        }
    }
    if (places.empty() && inHand_ != nullptr) {
        places.push_back({JoinPath(inHand_->SourcePath, inHand_->TPLFileName), 0});
    }
    return places;
}

bool CTemplateParser::RemoveGenerated(const std::string& path, bool dryRun) {
    if (refused_.count(path) != 0) {
        return false;
    }
    const COutputGuard::Decision decision = guard_.DecideDelete(path);
    if (!Allowed(decision.verdict, path)) {
        return false;
    }
    if (!dryRun && decision.place) {
        KeepOriginal(path);
        RemoveIfSame(*decision.place, *decision.found);
    }
    return true;
}

bool CTemplateParser::Allowed(COutputGuard::Verdict verdict, const std::string& path) {
    switch (verdict) {
        case COutputGuard::Verdict::Allowed:
            return true;
        case COutputGuard::Verdict::IsTemplate:
            ReportOnce(MessageId::kFileIsTemplate, path);
            return false;
        case COutputGuard::Verdict::OutsideTargets:
            ReportOnce(MessageId::kOutsideTargetFolders, path);
            return false;
    }
    return false;
}

OutputResult CTemplateParser::ProcessEntry(CTplFileRecord& entry) {
    if (!inRun_) {
        BeginRun();
        struct Ending {
            bool& inRun;
            ~Ending() { inRun = false; }
        } ending{inRun_};
        return ProcessEntry(entry);
    }
    std::vector<std::unique_ptr<Frame>> stack;
    frames_ = &stack;
    struct Unwatched {
        const std::vector<std::unique_ptr<Frame>>*& frames;
        ~Unwatched() { frames = nullptr; }
    } unwatched{frames_};
    lastOwnHash_.reset();
    if (auto first = OpenFrame(entry)) {
        stack.push_back(std::move(first));
    } else {
        return OutputResult::TemplateUnreadable;
    }
    OutputResult result = OutputResult::Written;
    active_.insert(&entry);
    std::string_view chunk;
    while (!stack.empty()) {
        Frame& frame = *stack.back();
        std::unique_ptr<Frame> child;
        while (!child) {
            // Plain text lines go by the bufferful; a chunk at a time only
            // where one may be a directive (or is too long, or ends the file).
            const std::size_t taken = engine_.HandleTextLines(
                frame.state, frame.entry->TPLFileName.str(), frame.reader.Ahead(), frame.Output());
            if (taken != 0) {
                frame.reader.Consume(taken);
                continue;
            }
            if (!frame.reader.ReadChunk(&chunk)) {
                break;
            }
            std::string_view argument;
            if (engine_.HandleChunk(frame.state, frame.entry->TPLFileName.str(), chunk,
                                    frame.Output(), &argument) == ChunkKind::Include) {
                child = ResolveInclude(frame, argument);
            }
        }
        if (child) {
            if (stack.size() > kLevelsKeptOpen) {
                frame.reader.Suspend();
                frame.writer.Suspend();
            }
            active_.insert(child->entry);
            stack.push_back(std::move(child));
            continue;
        }
        result = FinishFrame(frame);
        std::unique_ptr<Frame> done = std::move(stack.back());
        stack.pop_back();
        active_.erase(done->entry);
        if (stack.empty()) {
            lastOwnHash_ = TextHash(*done);
        } else {
            Frame& parent = *stack.back();
            parent.reader.Resume();
            parent.writer.Resume();
            CompleteInclude(parent, *done);
        }
    }
    // The frame finished last is the entry's own.
    return result;
}

std::unique_ptr<CTemplateParser::Frame> CTemplateParser::ResolveInclude(Frame& frame,
                                                                        std::string_view argument) {
    const IncludeName parts = SplitIncludeName(argument);
    if (!IsTemplateInclude(parts)) {
        if (frame.hasOutput) {
            AppendRecorded(frame.Output(), PlainIncludePath(parts), TraceOp::Plain);
        }
        return nullptr;
    }
    CTplFileRecord* found = IncludedEntry(byName_, parts.name);
    const std::string path = found != nullptr ? OutputPath(*found) : std::string();
    const bool verbatim = found != nullptr && InsertsVerbatim(*found, found->RunStatus);
    Record({TraceOp::Include,
            found != nullptr ? found->TPLFileId : 0,
            static_cast<std::uint8_t>(
                (found != nullptr && found->AlwaysParse ? TraceStep::kAlwaysParse : 0) |
                (found != nullptr && IsDone(found->RunStatus) ? TraceStep::kDone : 0)),
            path,
            parts.name,
            {}});
    if (found == nullptr) {
        return nullptr;
    }
    if (verbatim) {
        AppendRecorded(frame.Output(), path, TraceOp::Verbatim);
        return nullptr;
    }
    if (active_.count(found) != 0) {
        troubled_ = true;
        const std::string line = std::to_string(frame.state.line);
        if (cyclesReported_.insert(frame.entry->TPLFileName.str() + ":" + line).second) {
            messages_.ShowParseError(MessageId::kIncludeCycle, frame.entry->TPLFileName.str(),
                                     line);
        }
        return nullptr;
    }
    std::unique_ptr<Frame> child = OpenFrame(*found);
    if (!child) {
        MarkRegenerated(*found);
        return nullptr;
    }
    frame.pending = found;
    frame.pendingPath = path;
    return child;
}

OutputResult CTemplateParser::FinishFrame(Frame& frame) {
    engine_.Finish(frame.state, frame.entry->TPLFileName.str());
    if (memo_ != nullptr) {
        NoteTemplateRead(frame);
    }
    frame.reader.Close();
    if (!frame.hasOutput) {
        return frame.result;
    }
    if (frame.isDry) {
        frame.written = true;
        if (NoteWritten(frame, &frame.dry.Text(), true)) {
            MarkOverwritten(*frame.entry);
        }
        frame.entry->RunStatus = static_cast<int>(RunStatus::Done);
        return OutputResult::Written;
    }
    // Where this run has already put text at the path, its notion of the
    // file is compared, since the disk may not hold it (see CRunFiles).
    const bool known = memo_ != nullptr && memo_->Files().Written().count(frame.outputPath) != 0;
    const std::optional<FileId> before = known ? std::nullopt : FileAt(frame.outputPath);
    KeepOriginal(frame.outputPath);
    frame.written = frame.writer.Commit();
    if (frame.written) {
        // A text the file already held leaves the very file in place; any
        // other text puts a new file there.
        const bool changed =
            memo_ != nullptr ? NoteWritten(frame, frame.writer.CommittedText(), known) : false;
        if (known ? changed : !before || FileAt(frame.outputPath) != before) {
            MarkOverwritten(*frame.entry);
        }
        frame.entry->RunStatus = static_cast<int>(RunStatus::Done);
        return OutputResult::Written;
    }
    troubled_ = true;
    if (frame.writer.CreateFailed()) {
        // A file that could not even be created is left to the caller, as
        // when Open can tell so in advance; a write that broke off is
        // reported here, wherever it happens.
        return CreateFailure(frame.outputPath);
    }
    messages_.ShowError(MessageId::kWriteFailed, frame.outputPath);
    return OutputResult::WriteFailed;
}

void CTemplateParser::CompleteInclude(Frame& parent, const Frame& child) {
    // Only a file written just now is inserted: after a failed write the
    // file at that path is an older page, not this include's text. Text the
    // writer still holds is what reading the file back would yield.
    const std::string* text = !child.written ? nullptr
                              : child.isDry  ? &child.dry.Text()
                                             : child.writer.CommittedText();
    if (text != nullptr) {
        if (parent.hasOutput) {
            parent.WriteAsIs(*text);
        }
    } else if (child.written) {
        AppendFileVerbatim(parent.Output(), parent.pendingPath);
    }
    CTplFileRecord& included = *parent.pending;
    parent.pending = nullptr;
    MarkRegenerated(included);
}

void CTemplateParser::MarkRegenerated(CTplFileRecord& included) {
    // Generated again inside another template, with that template's names,
    // the file no longer shows the entry's own text: the run must generate it
    // once more on its own.
    const bool marked = MarksForRegeneration(included, included.StandaloneDone);
    Record({TraceOp::Mark,
            included.TPLFileId,
            marked ? TraceStep::kMarked : std::uint8_t{0},
            {},
            {},
            {}});
    if (marked) {
        included.StandaloneDone = 0;
        included.RunStatus = static_cast<int>(RunStatus::InProgress);
        if (view_ != nullptr) {
            view_->RefreshRowStatus(included.ListRow);
        }
    }
}

}  // namespace pellandrix
