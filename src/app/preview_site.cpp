#include "app/preview_site.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/open_commands.h"
#include "support/site_url.h"

namespace pellandrix {

namespace {

std::string Normal(const std::string& folder) {
    std::string normal = std::filesystem::path(folder).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') {
        normal.pop_back();
    }
    return normal;
}

bool Inside(const std::string& path, const std::string& folder) {
    if (folder == "/") {
        return path.starts_with('/');
    }
    return path == folder || (path.starts_with(folder) && path[folder.size()] == '/');
}

std::optional<std::string> RealPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    if (!real) {
        return std::nullopt;
    }
    return std::string(real.get());
}

// One decoded segment of a request path, or nothing when it could step
// out of its folder or name a hidden file.
std::optional<std::string> SafeSegment(std::string_view raw) {
    std::string segment = PercentDecoded(raw);
    if (segment.empty() || segment.front() == '.' ||
        segment.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) {
        return std::nullopt;
    }
    return segment;
}

// The decoded relative path of `rest` ("a/b.html", "dir/"), or nothing.
std::optional<std::string> SafeRelative(std::string_view rest) {
    std::string relative;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const auto segment = SafeSegment(rest.substr(0, slash));
        if (!segment) {
            return std::nullopt;
        }
        relative += *segment;
        if (slash == std::string_view::npos) {
            break;
        }
        relative += '/';
        rest.remove_prefix(slash + 1);
    }
    return relative;
}

// Whether the nearest thing on the way from `root` to the missing `path`
// that is there is a folder whose real path lies inside the root's: no link
// on the way leads out. True as well when not even the root is there, since
// nothing under it can lead anywhere then.
bool WayStaysInside(const std::string& path, const std::string& root) {
    std::filesystem::path at(path);
    while (at.string().size() > root.size() && at.has_relative_path()) {
        at = at.parent_path();
        struct stat st;
        if (::lstat(at.c_str(), &st) == 0) {
            const std::optional<std::string> real = RealPath(at.string());
            const std::optional<std::string> realRoot = RealPath(root);
            return real && realRoot && Inside(*real, *realRoot) &&
                   ::stat(real->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
    }
    return true;
}

}  // namespace

CPreviewSite::CPreviewSite(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        const std::string normal = Normal(folder);
        bool covered = false;
        for (const Root& root : roots_) {
            covered = covered || Inside(normal, root.folder);
        }
        if (!covered) {
            const std::string prefix =
                roots_.empty() ? "/" : "/~" + std::to_string(roots_.size() + 1) + "/";
            roots_.push_back({prefix, normal});
        }
    }
}

std::optional<CPreviewSite::Written> CPreviewSite::Locate(std::string_view rawPath) const {
    if (roots_.empty() || !rawPath.starts_with('/')) {
        return std::nullopt;
    }
    // A mount point before the root, which would take every path.
    const Root* root = &roots_.front();
    std::string_view rest = rawPath.substr(1);
    for (std::size_t i = 1; i < roots_.size(); ++i) {
        const std::string_view prefix = roots_[i].prefix;
        if (rawPath.starts_with(prefix) || rawPath == prefix.substr(0, prefix.size() - 1)) {
            root = &roots_[i];
            rest = rawPath.substr(std::min(rawPath.size(), prefix.size()));
            break;
        }
    }
    std::optional<std::string> relative = SafeRelative(rest);
    if (!relative) {
        return std::nullopt;
    }
    std::string path = Normal(root->folder + "/" + *relative);
    return Written{root, std::move(*relative), std::move(path)};
}

std::optional<CPreviewSite::Found> CPreviewSite::Resolve(std::string_view rawPath) const {
    const std::optional<Written> written = Locate(rawPath);
    if (!written) {
        return std::nullopt;
    }
    const std::optional<std::string> realRoot = RealPath(written->root->folder);
    // Symbolic links may lead anywhere inside the root, never out of it.
    const std::optional<std::string> real = RealPath(written->path);
    struct stat st;
    // A final "/" names a folder: "page.html/" is no page.
    if (!realRoot || !real || !Inside(*real, *realRoot) || ::stat(real->c_str(), &st) != 0 ||
        !(S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && !rawPath.ends_with('/')))) {
        return std::nullopt;
    }
    Found found{*real, UrlOf(written->path).value_or(written->root->prefix + written->relative),
                S_ISDIR(st.st_mode)};
    if (found.folder && !found.urlPath.ends_with('/')) {
        found.urlPath += '/';
    }
    return found;
}

std::optional<std::string> CPreviewSite::NotYetThere(std::string_view rawPath) const {
    const std::optional<Written> written = Locate(rawPath);
    struct stat st;
    if (!written || ::lstat(written->path.c_str(), &st) == 0 ||
        !WayStaysInside(written->path, written->root->folder)) {
        return std::nullopt;
    }
    std::string url = UrlOf(written->path).value_or(written->root->prefix + written->relative);
    if (rawPath.ends_with('/') && !url.ends_with('/')) {
        url += '/';
    }
    return url;
}

std::optional<std::string> CPreviewSite::UrlOf(const std::string& path) const {
    const std::string normal = Normal(path);
    for (const Root& root : roots_) {
        if (Inside(normal, root.folder)) {
            const std::size_t skip = root.folder == "/" ? 1 : root.folder.size() + 1;
            return root.prefix + (normal.size() > skip ? normal.substr(skip) : std::string());
        }
    }
    return std::nullopt;
}

std::vector<std::string> CPreviewSite::Mounts() const {
    std::vector<std::string> mounts;
    for (std::size_t i = 1; i < roots_.size(); ++i) {
        mounts.push_back(roots_[i].prefix);
    }
    return mounts;
}

std::vector<std::string> PreviewFolders(const CProjectSession& session,
                                        const std::string& currentDir) {
    std::vector<std::string> folders;
    if (const CProjectRecord* project = session.Current()) {
        const std::string target = project->TargetPath.str();
        folders.push_back(target.starts_with('/') ? target : currentDir + "/" + target);
    }
    for (const CTplFileRecord& entry : session.Files().Records()) {
        if (!entry.Deleted) {
            folders.push_back(PlacesOf(entry, currentDir).targetFolder);
        }
    }
    return folders;
}

}  // namespace pellandrix
