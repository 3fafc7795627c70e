#include "engine/generation_context.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/page_links.h"
#include "engine/template_paths.h"
#include "support/text_file.h"

namespace pellandrix {

CGenerationContext::CGenerationContext(CMessageService& messages, CTplFileList& files)
    : messages_(messages), files_(files) {}

void CGenerationContext::BeginRun() {
    guard_.Reset(files_, memo_ != nullptr ? memo_->Files().Unchanged() : nullptr);
    if (memo_ != nullptr) {
        memo_->Files().SetLinks(FindPageLinks(guard_));
    }
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
    // What an earlier run kept is no page as this run found it.
    originals_.clear();
    aside_.Clear();
    held_.Clear();
    copies_.Clear();
    inRun_ = true;
}

void CGenerationContext::EndRun() {
    WriteHeld();
    held_.Clear();
    copies_.Clear();
    inRun_ = false;
    spares_.Release();
}

namespace {

// Held texts past this many bytes in all are written, so that a site whose
// includes write many files more than once holds no more than this.
constexpr std::size_t kMaxHeldBytes = 4 * 1024 * 1024;

}  // namespace

bool CGenerationContext::HoldText(CHeldTexts::Known& known, std::string text,
                                  const ContentHash& hash) {
    const bool differs = held_.Hold(known, std::move(text), hash);
    if (held_.PendingBytes() > kMaxHeldBytes) {
        WriteHeld();
    }
    return differs;
}

void CGenerationContext::WriteHeld() {
    held_.TakePending([&](CHeldTexts::Known& known, std::string text) {
        CTextWriter writer;
        writer.OpenKnown(known.place, &spares_, known.mode);
        writer.WriteAsIs(text);
        if (!writer.Commit()) {
            troubled_ = true;
            messages_.ShowError(MessageId::kWriteFailed, known.path);
        }
    });
}

void CGenerationContext::ReportOnce(MessageId id, std::string_view first, std::string_view second) {
    troubled_ = true;
    if (reported_.insert(FormatMessage(id, first, second)).second) {
        messages_.ShowError(id, first, second);
    }
}

void CGenerationContext::ReportCycle(const std::string& name, int line) {
    troubled_ = true;
    const std::string at = std::to_string(line);
    if (cyclesReported_.insert(name + ":" + at).second) {
        messages_.ShowParseError(MessageId::kIncludeCycle, name, at);
    }
}

bool CGenerationContext::Allowed(COutputGuard::Verdict verdict, const std::string& path) {
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

COutputGuard::Decision CGenerationContext::DecideWrite(const std::string& path) {
    COutputGuard::Decision decision = guard_.DecideWrite(path);
    if (!Allowed(decision.verdict, path)) {
        refused_.insert(path);
    }
    return decision;
}

COutputGuard::Verdict CGenerationContext::WriteVerdict(const std::string& path) {
    const auto known = verdicts_.find(path);
    if (known != verdicts_.end()) {
        return known->second;
    }
    return verdicts_[path] = guard_.CheckWrite(path);
}

CTplFileRecord* CGenerationContext::EntryById(int id) const {
    const auto found = byId_.find(id);
    return found != byId_.end() ? found->second : nullptr;
}

void CGenerationContext::NoteOwnPass(const CTplFileRecord& entry, bool written) {
    if (written && lastOwnHash_) {
        ownText_[&entry] = OwnText{*lastOwnHash_, false};
    } else {
        ownText_.erase(&entry);
    }
}

void CGenerationContext::MarkOverwritten(const CTplFileRecord& entry) {
    const auto found = ownText_.find(&entry);
    if (found != ownText_.end()) {
        found->second.overwritten = true;
    }
}

bool CGenerationContext::HoldsOwnText(const CTplFileRecord& entry) {
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
    WriteHeld();
    const std::optional<HashedFile> disk = HashFile(path);
    return disk && disk->hash == found->second.hash;
}

bool CGenerationContext::RemoveGenerated(const std::string& path, bool dryRun) {
    if (refused_.count(path) != 0) {
        return false;
    }
    const COutputGuard::Decision decision = guard_.DecideDelete(path);
    if (!Allowed(decision.verdict, path)) {
        return false;
    }
    if (!dryRun && decision.place) {
        // A text held for the file would only have been deleted with it.
        held_.Drop(*decision.place);
        KeepOriginal(path);
        RemoveIfSame(*decision.place, *decision.found);
    }
    return true;
}

void CGenerationContext::KeepOriginal(const std::string& path) {
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
    if (!S_ISREG(st.st_mode)) {
        return;
    }
    // Set aside on disk: a run that replaces every page of a large site
    // would otherwise hold all their old bytes in memory.
    const CFileDescriptor fd(OpenNotWaiting(path.c_str(), O_RDONLY));
    if (fd.IsOpen()) {
        if (const std::optional<CAsideFile::Piece> piece = aside_.Keep(fd.Get())) {
            originals_.emplace(path, *piece);
        }
    }
}

void CGenerationContext::PutBackOriginals() {
    for (const auto& [path, piece] : originals_) {
        if (piece) {
            const std::optional<std::string> bytes = aside_.Bytes(*piece);
            CTextWriter writer;
            if (bytes && writer.Open(path)) {
                writer.WriteAsIs(*bytes);
                writer.Commit();
            }
        } else if (const COutputGuard::Decision gone = guard_.DecideDelete(path);
                   gone.verdict == COutputGuard::Verdict::Allowed && gone.place && gone.found) {
            RemoveIfSame(*gone.place, *gone.found);
        }
    }
    originals_.clear();
    aside_.Clear();
}

std::vector<SourcePlace> CGenerationContext::Where() const {
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

}  // namespace pellandrix
