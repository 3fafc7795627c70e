#include "app/watch_inputs.h"

#include "store/tpl_file_list.h"

namespace pellandrix {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::set<std::string> FoldersToWatch(const RunInputs& inputs, const CTplFileList& files) {
    std::set<std::string> folders;
    for (const auto& [path, hash] : inputs.files) {
        folders.insert(FolderOf(path));
    }
    for (const CTplFileRecord& entry : files.Records()) {
        if (!entry.Deleted) {
            folders.insert(entry.SourcePath.str().empty() ? "." : entry.SourcePath.str());
        }
    }
    return folders;
}

bool InputsChanged(const RunInputs& inputs, const CFolderWatch::Touched& touched) {
    // The same folder may be watched under another spelling than a path's
    // (inotify gives one watch per folder), so names are matched, not paths.
    std::set<std::string> names;
    for (const std::string& path : touched.paths) {
        names.insert(NameOf(path));
    }
    for (const auto& [path, hash] : inputs.files) {
        if (!touched.everything && names.count(NameOf(path)) == 0) {
            continue;
        }
        const std::optional<HashedFile> now = HashFile(path);
        if ((now ? std::optional<ContentHash>(now->hash) : std::nullopt) != hash) {
            return true;
        }
    }
    return false;
}

}  // namespace pellandrix
