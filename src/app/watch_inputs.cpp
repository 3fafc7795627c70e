#include "app/watch_inputs.h"

#include <sys/stat.h>

#include <filesystem>

#include "engine/template_paths.h"
#include "store/project_record.h"
#include "store/tpl_file_list.h"

namespace pellandrix {

namespace {

// A chain of links longer than this is a loop (the system's own limit).
constexpr int kMaxLinks = 40;

std::string FolderOf(const std::string& path) {
    return std::string(FolderPart(path));
}

std::string NameOf(const std::string& path) {
    return std::string(NamePart(path));
}

bool Beneath(const std::string& path, const std::set<std::string>& folders) {
    for (const std::string& folder : folders) {
        if (folder == "." && path.compare(0, 1, "/") != 0) {
            return true;
        }
        if (path.compare(0, folder.size(), folder) == 0 &&
            (path.size() == folder.size() || path[folder.size()] == '/' || folder == "/")) {
            return true;
        }
    }
    return false;
}

// Whether `touched` may concern the file at `path` (one name of it). The
// same folder may be watched under another spelling than a path's
// (inotify gives one watch per folder), so names are matched, not paths.
bool Concerns(const CFolderWatch::Touched& touched, const std::set<std::string, std::less<>>& names,
              const std::string& path) {
    return names.count(NamePart(path)) != 0 || touched.paths.count(path) != 0 ||
           Beneath(path, touched.folders);
}

}  // namespace

std::string_view FolderPart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return ".";
    }
    return slash == 0 ? std::string_view("/") : path.substr(0, slash);
}

std::string_view NamePart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> LinkChain(const std::string& path) {
    std::vector<std::string> chain{path};
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(chain.back(), error);
        if (error) {
            break;
        }
        chain.push_back(target.is_absolute() ? target.string()
                                             : FolderOf(chain.back()) + "/" + target.string());
    }
    return chain;
}

WatchTargets WhatToWatch(const RunInputs& inputs, const CTplFileList& files,
                         const std::string& database,
                         const std::function<bool(const std::string&)>& knownPlain) {
    WatchTargets targets;
    std::string_view lastFolder;
    for (const auto& [path, hash] : inputs.files) {
        // The inputs come sorted, so a folder's files follow each other.
        const std::string_view folder = FolderPart(path);
        if (folder != lastFolder) {
            targets.folders.emplace(folder);
            lastFolder = folder;
        }
        if (knownPlain && knownPlain(path)) {
            continue;
        }
        // One lstat for a plain file; the chain and the file it ends in
        // only for a link.
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) {
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            std::vector<std::string> chain = LinkChain(path);
            for (const std::string& link : chain) {
                targets.folders.insert(FolderOf(link));
            }
            targets.links.emplace(path, std::move(chain));
            if (::stat(path.c_str(), &st) != 0) {
                continue;
            }
        }
        if (S_ISREG(st.st_mode) && st.st_nlink > 1) {
            targets.files.insert(path);
        }
    }
    for (const CTplFileRecord& entry : files.Records()) {
        if (!entry.Deleted) {
            targets.folders.insert(entry.SourcePath.str().empty() ? "." : entry.SourcePath.str());
            // Spelled as the run spells its pages' folder.
            targets.folders.insert(FolderOf(JoinPath(entry.TargetPath.str(), "-")));
        }
    }
    if (!database.empty()) {
        targets.folders.insert(FolderOf(database));
    }
    return targets;
}

bool InputsChanged(const RunInputs& inputs, const CFolderWatch::Touched& touched,
                   const std::map<std::string, std::vector<std::string>>& links) {
    if (touched.Empty()) {
        return false;
    }
    std::set<std::string, std::less<>> names;
    for (const std::string& path : touched.paths) {
        names.insert(NameOf(path));
    }
    for (const auto& [path, hash] : inputs.files) {
        // A change to any name on a link's way is a change to the input.
        const auto link = links.find(path);
        bool concerned = touched.everything;
        if (link == links.end()) {
            concerned = concerned || Concerns(touched, names, path);
        } else {
            for (const std::string& name : link->second) {
                concerned = concerned || Concerns(touched, names, name);
            }
        }
        if (!concerned) {
            continue;
        }
        const std::optional<HashedFile> now = HashFile(path);
        if ((now ? std::optional<ContentHash>(now->hash) : std::nullopt) != hash) {
            return true;
        }
    }
    return false;
}

bool DatabaseTouched(const std::string& database, const CFolderWatch::Touched& touched) {
    if (database.empty()) {
        return false;
    }
    const std::string name = NameOf(database);
    for (const std::string& path : touched.paths) {
        const std::string touchedName = NameOf(path);
        if (touchedName == name || touchedName == name + "-journal" ||
            touchedName == name + "-wal") {
            return true;
        }
    }
    return touched.everything || Beneath(database, touched.folders);
}

std::string EntriesKey(const CProjectRecord* project, const CTplFileList& files) {
    std::string key;
    const auto add = [&key](const std::string& part) {
        key += std::to_string(part.size()) + ':' + part;
    };
    if (project != nullptr) {
        for (const std::string& part :
             {std::to_string(project->ProjectId), project->SourcePath.str(),
              project->TargetPath.str(), project->DefCreateFileExt.str()}) {
            add(part);
        }
    }
    for (const CTplFileRecord& entry : files.Records()) {
        if (entry.Deleted) {
            continue;
        }
        for (const std::string& part :
             {std::to_string(entry.TPLFileId), entry.TPLFileName.str(), entry.SourcePath.str(),
              entry.TargetPath.str(), entry.CreateFileExt.str(), std::to_string(entry.Selected),
              std::to_string(entry.CreateFile), std::to_string(entry.AlwaysParse)}) {
            add(part);
        }
    }
    return key;
}

}  // namespace pellandrix
