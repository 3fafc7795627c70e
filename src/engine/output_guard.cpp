#include "engine/output_guard.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <memory>
#include <optional>

#include "engine/template_paths.h"

namespace pellandrix {

namespace {

// The path with every link and "." or ".." resolved; none when some part of
// it does not exist.
std::optional<std::string> Resolved(const std::string& path) {
    const std::unique_ptr<char, decltype(&::free)> resolved(
        ::realpath(path.empty() ? "." : path.c_str(), nullptr), &::free);
    if (!resolved) {
        return std::nullopt;
    }
    return std::string(resolved.get());
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::optional<FileId> IdOf(const std::string& path, bool followLink) {
    struct stat st;
    if ((followLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
        return std::nullopt;
    }
    return FileId{st.st_dev, st.st_ino};
}

}  // namespace

void COutputGuard::Reset(const CTplFileList& files) {
    templates_.clear();
    targets_.clear();
    std::unordered_set<std::string_view> folders;  // as written, resolved once each
    for (const CTplFileRecord& entry : files.Records()) {
        if (entry.Deleted) {
            continue;
        }
        // A template that is a link is kept twice: the link, which a run
        // must not delete or replace, and the file it reads through it.
        const std::string source = JoinPath(entry.SourcePath, entry.TPLFileName);
        for (bool follow : {false, true}) {
            if (const std::optional<FileId> id = IdOf(source, follow)) {
                templates_.insert(*id);
            }
        }
        if (!folders.insert(entry.TargetPath.str()).second) {
            continue;
        }
        if (const std::optional<std::string> folder = Resolved(entry.TargetPath.str())) {
            targets_.insert(*folder);
        }
    }
}

COutputGuard::Verdict COutputGuard::CheckWrite(const std::string& path) const {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        return CheckFolderOf(path);
    }
    if (templates_.count(FileId{st.st_dev, st.st_ino}) != 0) {
        return Verdict::IsTemplate;
    }
    if (!S_ISLNK(st.st_mode)) {
        return CheckFolderOf(path);
    }
    struct stat pointed;
    if (::stat(path.c_str(), &pointed) != 0) {
        return CheckFolderOf(path);  // dangling: the writer replaces the link itself
    }
    if (templates_.count(FileId{pointed.st_dev, pointed.st_ino}) != 0) {
        return Verdict::IsTemplate;
    }
    if (!S_ISREG(pointed.st_mode)) {
        // A device or pipe is written into, not replaced (a link to
        // /dev/null throws a page away); a directory is refused by the writer.
        return Verdict::Allowed;
    }
    const std::optional<std::string> target = Resolved(path);
    return target ? CheckFolderOf(*target) : Verdict::OutsideTargets;
}

COutputGuard::Verdict COutputGuard::CheckDelete(const std::string& path) const {
    const std::optional<FileId> id = IdOf(path, false);
    if (!id) {
        return Verdict::Allowed;  // nothing to delete
    }
    if (templates_.count(*id) != 0) {
        return Verdict::IsTemplate;
    }
    return CheckFolderOf(path);
}

COutputGuard::Verdict COutputGuard::CheckFolderOf(const std::string& path) const {
    const std::optional<std::string> folder = Resolved(FolderOf(path));
    if (!folder) {
        return Verdict::Allowed;
    }
    return targets_.count(*folder) != 0 ? Verdict::Allowed : Verdict::OutsideTargets;
}

}  // namespace pellandrix
