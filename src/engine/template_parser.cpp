#include "engine/template_parser.h"

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "engine/directives.h"
#include "engine/run_status.h"
#include "engine/step_rules.h"
#include "engine/template_paths.h"
#include "support/text_file.h"

namespace pellandrix {

namespace {

// The upper include levels keep their open template and the text written so
// far while an include is generated; deeper ones give up descriptors and
// memory, so that a long include chain holds neither per level.
constexpr std::size_t kLevelsKeptOpen = 16;

// Why a generated file could not be created: a missing folder is the
// common, nameable cause.
OutputResult CreateFailure(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    struct stat st;
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? OutputResult::NotCreated
                                                                : OutputResult::DirectoryMissing;
}

// The hash of the text `frame` put in place; none when it wrote none.
std::optional<ContentHash> TextHash(const TemplateFrame& frame) {
    if (!frame.written) {
        return std::nullopt;
    }
    if (frame.hash) {
        return frame.hash;
    }
    if (const ContentHash* hash = frame.isDry ? nullptr : frame.writer.CommittedHash()) {
        return *hash;
    }
    if (const std::string* text = frame.isDry ? &frame.dry.Text() : frame.writer.CommittedText()) {
        return HashBytes(*text);
    }
    const std::optional<HashedFile> read = HashFile(frame.outputPath);
    return read ? std::optional<ContentHash>(read->hash) : std::nullopt;
}

}  // namespace

CTemplateParser::CTemplateParser(CMessageService& messages, CTplFileList& files)
    : context_(messages, files), engine_(defines_, messages) {}

bool CTemplateParser::ProcessTemplate(CTplFileRecord& entry) {
    return ProcessEntry(entry) != OutputResult::TemplateUnreadable;
}

OutputResult CTemplateParser::ProcessEntry(CTplFileRecord& entry) {
    if (context_.InRun()) {
        return ProcessInRun(entry);
    }
    struct Scope {
        CGenerationContext& context;
        explicit Scope(CGenerationContext& context) : context(context) { context.BeginRun(); }
        ~Scope() { context.EndRun(); }
    } scope{context_};
    return ProcessInRun(entry);
}

OutputResult CTemplateParser::ProcessInRun(CTplFileRecord& entry) {
    active_.clear();
    FrameStack stack;
    struct Chain {
        CGenerationContext& context;
        ~Chain() { context.SetChain(nullptr); }
    } chain{context_};
    context_.SetChain(&stack);
    context_.SetLastOwnText(std::nullopt);
    if (auto first = OpenFrame(entry, false)) {
        stack.push_back(std::move(first));
    } else {
        return OutputResult::TemplateUnreadable;
    }
    OutputResult result = OutputResult::Written;
    active_.insert(&entry);
    while (!stack.empty()) {
        TemplateFrame& frame = *stack.back();
        if (std::unique_ptr<TemplateFrame> child = ReadOn(frame)) {
            if (stack.size() > kLevelsKeptOpen) {
                frame.reader.Suspend();
                frame.writer.Suspend();
            }
            active_.insert(child->entry);
            stack.push_back(std::move(child));
            continue;
        }
        result = FinishFrame(frame);
        std::unique_ptr<TemplateFrame> done = std::move(stack.back());
        stack.pop_back();
        active_.erase(done->entry);
        if (stack.empty()) {
            context_.SetLastOwnText(TextHash(*done));
        } else {
            TemplateFrame& parent = *stack.back();
            parent.reader.Resume();
            parent.writer.Resume();
            CompleteInclude(parent, *done);
        }
    }
    // The frame finished last is the entry's own.
    return result;
}

std::unique_ptr<TemplateFrame> CTemplateParser::ReadOn(TemplateFrame& frame) {
    std::string_view chunk;
    for (;;) {
        // Plain text lines go by the bufferful; a chunk at a time only
        // where one may be a directive (or is too long, or ends the file).
        const std::size_t taken = engine_.HandleTextLines(
            frame.state, frame.entry->TPLFileName.str(), frame.reader.Ahead(), frame.Output());
        if (taken != 0) {
            frame.reader.Consume(taken);
            continue;
        }
        if (!frame.reader.ReadChunk(&chunk)) {
            return nullptr;
        }
        std::string_view argument;
        if (engine_.HandleChunk(frame.state, frame.entry->TPLFileName.str(), chunk, frame.Output(),
                                &argument) == ChunkKind::Include) {
            if (std::unique_ptr<TemplateFrame> child = ResolveInclude(frame, argument)) {
                return child;
            }
        }
    }
}

std::unique_ptr<TemplateFrame> CTemplateParser::OpenFrame(CTplFileRecord& entry, bool included) {
    auto frame = std::make_unique<TemplateFrame>();
    frame->entry = &entry;
    frame->included = included;
    frame->templatePath = JoinPath(entry.SourcePath, entry.TPLFileName);
    frame->outputPath = OutputPath(entry);
    const bool copying = included && context_.MayHold();
    frame->startedNs = context_.Memo() != nullptr || copying ? WallClockNs() : 0;
    bool opened = copying && context_.Copies().OpenCopy(frame->reader, frame->templatePath);
    if (!opened) {
        opened = frame->reader.Open(frame->templatePath);
        if (opened && copying) {
            frame->reader.KeepWhole();
        }
    }
    if (opened && context_.Held().AnyPending() &&
        !context_.Guard().IsTemplateFile(frame->reader.Identity())) {
        // Not the file the run found at the template's path: it may be a
        // generated file reached through a link, which must hold its text
        // before it is read.
        context_.WriteHeld();
        opened = frame->reader.Open(frame->templatePath);
    }
    recorder_.RecordFrame(*frame);
    if (!opened) {
        return nullptr;
    }
    if (context_.Memo() != nullptr) {
        frame->reader.StartHashing();
    }
    OpenOutput(*frame);
    return frame;
}

void CTemplateParser::OpenOutput(TemplateFrame& frame) {
    const bool noting = context_.MayHold();
    if (noting && frame.included) {
        if (CHeldTexts::Known* known = context_.Held().Find(frame.outputPath)) {
            // The run has put a text in place there, past every check of
            // writing it: this text may be held (see CHeldTexts).
            frame.writer.OpenKnown(known->place, &context_.Spares(), known->mode);
            frame.hasOutput = true;
            frame.holdFor = known;
            frame.place = known->place;
            return;
        }
    }
    COutputGuard::Decision decision = context_.DecideWrite(frame.outputPath);
    if (decision.verdict != COutputGuard::Verdict::Allowed) {
        frame.result = OutputResult::Refused;
        return;
    }
    CRunMemo* memo = context_.Memo();
    frame.isDry = memo != nullptr && memo->DryRun();
    if (frame.isDry) {
        frame.hasOutput = decision.place && CTextWriter::CanOpen(*decision.place);
    } else {
        if (noting && decision.place) {
            frame.place = *decision.place;
        }
        frame.hasOutput = decision.place && frame.writer.Open(std::move(*decision.place),
                                                              &context_.Spares(), decision.status);
    }
    if (!frame.hasOutput) {
        context_.NoteTrouble();
        frame.result = CreateFailure(frame.outputPath);
    }
}

std::unique_ptr<TemplateFrame> CTemplateParser::ResolveInclude(TemplateFrame& frame,
                                                               std::string_view argument) {
    const IncludeName parts = SplitIncludeName(argument);
    if (!IsTemplateInclude(parts)) {
        if (frame.hasOutput) {
            // The file may be one the run writes, by any path or link.
            context_.WriteHeld();
            recorder_.AppendRecorded(frame.Output(), PlainIncludePath(parts), TraceOp::Plain);
        }
        return nullptr;
    }
    CTplFileRecord* found = IncludedEntry(context_.ByName(), parts.name);
    const std::string path = found != nullptr ? OutputPath(*found) : std::string();
    RecordInclude(found, path, parts.name);
    if (found == nullptr) {
        return nullptr;
    }
    if (InsertsVerbatim(*found, found->RunStatus)) {
        context_.WriteHeld();
        recorder_.AppendRecorded(frame.Output(), path, TraceOp::Verbatim);
        return nullptr;
    }
    if (active_.count(found) != 0) {
        context_.ReportCycle(frame.entry->TPLFileName.str(), frame.state.line);
        return nullptr;
    }
    std::unique_ptr<TemplateFrame> child = OpenFrame(*found, true);
    if (!child) {
        MarkRegenerated(*found);
        return nullptr;
    }
    frame.pending = found;
    frame.pendingPath = path;
    return child;
}

void CTemplateParser::RecordInclude(const CTplFileRecord* found, const std::string& path,
                                    std::string_view name) {
    const std::uint8_t flags =
        found == nullptr
            ? 0
            : static_cast<std::uint8_t>((found->AlwaysParse ? TraceStep::kAlwaysParse : 0) |
                                        (IsDone(found->RunStatus) ? TraceStep::kDone : 0));
    recorder_.Record({TraceOp::Include,
                      found != nullptr ? found->TPLFileId : 0,
                      flags,
                      path,
                      std::string(name),
                      {}});
}

OutputResult CTemplateParser::FinishFrame(TemplateFrame& frame) {
    engine_.Finish(frame.state, frame.entry->TPLFileName.str());
    recorder_.NoteTemplateRead(frame);
    if (frame.included && context_.MayHold()) {
        context_.Copies().Keep(frame.templatePath, frame.reader, frame.startedNs);
    }
    frame.reader.Close();
    if (!frame.hasOutput) {
        return frame.result;
    }
    if (frame.isDry) {
        frame.written = true;
        if (recorder_.NoteWritten(frame, &frame.dry.Text(), true)) {
            context_.MarkOverwritten(*frame.entry);
        }
        frame.entry->RunStatus = static_cast<int>(RunStatus::Done);
        return OutputResult::Written;
    }
    return CommitFrame(frame);
}

OutputResult CTemplateParser::CommitFrame(TemplateFrame& frame) {
    if (frame.holdFor != nullptr) {
        if (std::optional<std::string> text = frame.writer.TakeText(frame.holdFor->largest)) {
            return HoldFrame(frame, std::move(*text));
        }
    }
    // Where this run has already put text at the path, its notion of the
    // file is compared, since the disk may not hold it (see CRunFiles).
    CRunMemo* memo = context_.Memo();
    const bool known = memo != nullptr && memo->Files().Wrote(frame.outputPath);
    context_.KeepOriginal(frame.outputPath);
    frame.written = frame.writer.Commit();
    if (frame.written) {
        NotePlaced(frame);
        // A text the file already held leaves the very file in place; any
        // other text puts a new file there, as the writer tells.
        const bool changed = memo != nullptr
                                 ? recorder_.NoteWritten(frame, frame.writer.CommittedText(), known,
                                                         frame.writer.CommittedHash())
                                 : false;
        if (known ? changed : frame.writer.PutNewFile()) {
            context_.MarkOverwritten(*frame.entry);
        }
        frame.entry->RunStatus = static_cast<int>(RunStatus::Done);
        return OutputResult::Written;
    }
    context_.NoteTrouble();
    if (frame.writer.CreateFailed()) {
        // A file that could not even be created is left to the caller, as
        // when Open can tell so in advance; a write that broke off is
        // reported here, wherever it happens.
        return CreateFailure(frame.outputPath);
    }
    context_.Messages().ShowError(MessageId::kWriteFailed, frame.outputPath);
    return OutputResult::WriteFailed;
}

OutputResult CTemplateParser::HoldFrame(TemplateFrame& frame, std::string text) {
    // Recorded and marked as if it were written: the run's notion of the
    // file is the held text, and the disk gets it before anything reads it.
    CRunMemo* memo = context_.Memo();
    const bool known = memo != nullptr && memo->Files().Wrote(frame.outputPath);
    const ContentHash hash = HashBytes(text);
    frame.held = text;
    const bool differs = context_.HoldText(*frame.holdFor, std::move(text), hash);
    frame.written = true;
    frame.hash = hash;
    const bool changed =
        memo != nullptr ? recorder_.NoteWritten(frame, &*frame.held, known, &hash) : false;
    if (known ? changed : differs) {
        context_.MarkOverwritten(*frame.entry);
    }
    frame.entry->RunStatus = static_cast<int>(RunStatus::Done);
    return OutputResult::Written;
}

void CTemplateParser::NotePlaced(const TemplateFrame& frame) {
    if (!frame.place) {
        return;
    }
    const std::string* text = frame.writer.CommittedText();
    const ContentHash* hash = frame.writer.CommittedHash();
    if (text != nullptr && hash != nullptr) {
        context_.Held().NotePlaced(frame.outputPath, *frame.place, frame.writer.TargetMode(),
                                   text->size(), *hash, frame.included);
    } else {
        context_.Held().NoteReplaced(*frame.place);
    }
}

void CTemplateParser::CompleteInclude(TemplateFrame& parent, const TemplateFrame& child) {
    // Only a file written just now is inserted: after a failed write the
    // file at that path is an older page, not this include's text. Text the
    // writer still holds is what reading the file back would yield.
    const std::string* text = !child.written ? nullptr
                              : child.isDry  ? &child.dry.Text()
                              : child.held   ? &*child.held
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
    recorder_.Record({TraceOp::Mark,
                      included.TPLFileId,
                      marked ? TraceStep::kMarked : std::uint8_t{0},
                      {},
                      {},
                      {}});
    if (marked) {
        included.StandaloneDone = 0;
        included.RunStatus = static_cast<int>(RunStatus::InProgress);
        if (IRunView* view = context_.View()) {
            view->RefreshRowStatus(included.ListRow);
        }
    }
}

}  // namespace pellandrix
