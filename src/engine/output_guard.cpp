#include "engine/output_guard.h"

#include <sys/stat.h>

#include <algorithm>

#include "engine/template_paths.h"

namespace pellandrix {

namespace {

std::optional<FileId> IdOf(const std::optional<struct stat>& st) {
    if (!st) {
        return std::nullopt;
    }
    return FileId{st->st_dev, st->st_ino};
}

}  // namespace

// The file at `source`, and when it is a link, the file the link leads to
// too (anything else is the same file both ways: one look does).
void COutputGuard::Look(const std::string& source, TemplateIds& found) const {
    found.count = 0;
    struct stat st;
    if (::lstat(source.c_str(), &st) == 0) {
        found.ids[found.count++] = FileId{st.st_dev, st.st_ino};
        if (S_ISLNK(st.st_mode) && ::stat(source.c_str(), &st) == 0) {
            found.ids[found.count++] = FileId{st.st_dev, st.st_ino};
        }
    }
}

// Notes the templates of the live entries; true when they are the files the
// last Reset found. What the caller vouches for is as the last Reset found
// it.
bool COutputGuard::NoteTemplates(const CTplFileList& files, const IUnchangedPaths* unchanged) {
    ++resets_;
    bool same = true;
    for (const CTplFileRecord& entry : files.Records()) {
        if (entry.Deleted) {
            continue;
        }
        // A template that is a link is kept twice: the link, which a run
        // must not delete or replace, and the file it reads through it.
        const std::string source = JoinPath(entry.SourcePath, entry.TPLFileName);
        // Kept for the next Reset only for a caller that may vouch then.
        TemplateIds looked;
        TemplateIds& found = unchanged != nullptr ? templateIds_[source] : looked;
        const bool lastFound = found.reset != 0 && found.reset + 1 >= resets_;
        if (!lastFound || unchanged == nullptr || !unchanged->Unchanged(source)) {
            Look(source, found);
        }
        found.reset = resets_;
        for (int i = 0; i < found.count; ++i) {
            const auto [at, added] = templates_.try_emplace(found.ids[i], resets_);
            at->second = resets_;
            same = same && !added;
        }
    }
    // What no live entry names now is no template any more.
    if (unchanged == nullptr) {
        templateIds_ = {};
    }
    std::erase_if(templateIds_, [this](const auto& ids) { return ids.second.reset != resets_; });
    std::erase_if(templates_, [this, &same](const auto& id) {
        const bool gone = id.second != resets_;
        same = same && !gone;
        return gone;
    });
    return same;
}

void COutputGuard::Reset(const CTplFileList& files, const IUnchangedPaths* unchanged) {
    std::unordered_set<FileId, FileIdHash> targetsBefore;
    for (const auto& [id, folder] : targets_) {
        targetsBefore.insert(id);
    }
    const bool sameTemplates = NoteTemplates(files, unchanged);
    targets_.clear();
    folders_.clear();
    paths_.clear();
    located_.clear();
    std::unordered_set<std::string_view> written;  // target folders as written, opened once each
    for (const CTplFileRecord& entry : files.Records()) {
        if (entry.Deleted || !written.insert(entry.TargetPath.str()).second) {
            continue;
        }
        if (FolderHandle folder = OpenFolder(entry.TargetPath.str())) {
            if (targets_.emplace(folder->id, folder).second) {
                paths_.emplace(folder->id, entry.TargetPath.str());
                folders_.push_back(std::move(folder));
            }
        }
    }
    sameAsBefore_ = sameTemplates && targetsBefore.size() == targets_.size() &&
                    std::all_of(targets_.begin(), targets_.end(), [&](const auto& target) {
                        return targetsBefore.count(target.first) != 0;
                    });
}

std::optional<SFilePlace> COutputGuard::Locate(const std::string& path) const {
    // The path up to and with its last slash names the folder ("" the
    // working folder).
    const std::size_t slash = path.rfind('/');
    const std::string folder = path.substr(0, slash == std::string::npos ? 0 : slash + 1);
    const auto known = located_.find(folder);
    if (known != located_.end()) {
        return SFilePlace{known->second, path.substr(folder.size())};
    }
    std::optional<SFilePlace> at = LocateFile(path);
    // Only a target folder is remembered, as the one held since Reset: a
    // later write there lands in that very folder, however the path that
    // led to it changes meanwhile, which is what a fresh look would allow.
    if (at) {
        const auto target = targets_.find(at->folder->id);
        if (target != targets_.end()) {
            located_.emplace(folder, target->second);
            at->folder = target->second;
        }
    }
    return at;
}

COutputGuard::Decision COutputGuard::DecideWrite(const std::string& path) const {
    const std::optional<SFilePlace> at = Locate(path);
    if (!at) {
        return {};
    }
    const std::optional<struct stat> own = at->Status();
    // Only a link needs following; anything else is its own end.
    const bool link = own && S_ISLNK(own->st_mode);
    const SFilePlace reached = link ? FollowLinks(*at) : *at;
    const std::optional<struct stat> end = link ? reached.Status() : own;
    if (IsTemplate(own) || IsTemplate(end)) {
        return {Verdict::IsTemplate, std::nullopt, std::nullopt, std::nullopt};
    }
    std::optional<SFilePlace> place = InTargetFolder(reached);
    if (!place) {
        return {Verdict::OutsideTargets, std::nullopt, std::nullopt, std::nullopt};
    }
    return {Verdict::Allowed, std::move(place), IdOf(end), end};
}

COutputGuard::Decision COutputGuard::DecideDelete(const std::string& path) const {
    const std::optional<SFilePlace> at = Locate(path);
    const std::optional<struct stat> own = at ? at->Status() : std::nullopt;
    if (!own) {
        return {};  // nothing to delete
    }
    if (IsTemplate(own)) {
        return {Verdict::IsTemplate, std::nullopt, std::nullopt, std::nullopt};
    }
    std::optional<SFilePlace> place = InTargetFolder(*at);
    if (!place) {
        return {Verdict::OutsideTargets, std::nullopt, std::nullopt, std::nullopt};
    }
    return {Verdict::Allowed, std::move(place), IdOf(own), std::nullopt};
}

const std::string* COutputGuard::TargetPathOf(const FileId& id) const {
    const auto found = paths_.find(id);
    return found != paths_.end() ? &found->second : nullptr;
}

bool COutputGuard::IsTemplate(const std::optional<struct stat>& st) const {
    return st && templates_.count(FileId{st->st_dev, st->st_ino}) != 0;
}

std::optional<SFilePlace> COutputGuard::InTargetFolder(const SFilePlace& place) const {
    // The folder found now must be one held since Reset; the place then
    // names the file in the one held, which no later swap can redirect.
    const auto target = targets_.find(place.folder->id);
    if (target == targets_.end()) {
        return std::nullopt;
    }
    return SFilePlace{target->second, place.name};
}

}  // namespace pellandrix
