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
// too (anything else is the same file both ways: one look does). What the
// caller vouches for is as the last Reset found it.
COutputGuard::TemplateIds COutputGuard::IdsOf(const std::string& source,
                                              const IUnchangedPaths* unchanged) const {
    if (unchanged != nullptr && unchanged->Unchanged(source)) {
        const auto last = templateIds_.find(source);
        if (last != templateIds_.end()) {
            return last->second;
        }
    }
    TemplateIds found;
    struct stat st;
    if (::lstat(source.c_str(), &st) == 0) {
        found.ids[found.count++] = FileId{st.st_dev, st.st_ino};
        if (S_ISLNK(st.st_mode) && ::stat(source.c_str(), &st) == 0) {
            found.ids[found.count++] = FileId{st.st_dev, st.st_ino};
        }
    }
    return found;
}

void COutputGuard::Reset(const CTplFileList& files, const IUnchangedPaths* unchanged) {
    std::unordered_set<FileId, FileIdHash> before = std::move(templates_);
    std::unordered_set<FileId, FileIdHash> targetsBefore;
    for (const auto& [id, folder] : targets_) {
        targetsBefore.insert(id);
    }
    std::unordered_map<std::string, TemplateIds> ids;
    ids.reserve(templateIds_.size());
    templates_.clear();
    targets_.clear();
    folders_.clear();
    paths_.clear();
    located_.clear();
    std::unordered_set<std::string_view> written;  // target folders as written, opened once each
    for (const CTplFileRecord& entry : files.Records()) {
        if (entry.Deleted) {
            continue;
        }
        // A template that is a link is kept twice: the link, which a run
        // must not delete or replace, and the file it reads through it.
        std::string source = JoinPath(entry.SourcePath, entry.TPLFileName);
        const TemplateIds found = IdsOf(source, unchanged);
        templates_.insert(found.ids, found.ids + found.count);
        ids.insert_or_assign(std::move(source), found);
        if (!written.insert(entry.TargetPath.str()).second) {
            continue;
        }
        if (FolderHandle folder = OpenFolder(entry.TargetPath.str())) {
            if (targets_.emplace(folder->id, folder).second) {
                paths_.emplace(folder->id, entry.TargetPath.str());
                folders_.push_back(std::move(folder));
            }
        }
    }
    templateIds_ = std::move(ids);
    sameAsBefore_ = before == templates_ && targetsBefore.size() == targets_.size() &&
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
