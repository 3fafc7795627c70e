#include "app/watch_inputs.h"

#include <sys/stat.h>

#include <filesystem>

#include "store/project_record.h"
#include "store/tpl_file_list.h"

namespace pellandrix {

namespace {

// A chain of links longer than this is a loop (the system's own limit).
constexpr int kMaxLinks = 40;

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

// Whether `touched` may concern the file reached through `chain`.
bool Concerns(const CFolderWatch::Touched& touched, const std::set<std::string>& names,
              const std::vector<std::string>& chain) {
    for (const std::string& link : chain) {
        // The same folder may be watched under another spelling than a
        // path's (inotify gives one watch per folder), so names are
        // matched, not paths.
        if (names.count(NameOf(link)) != 0 || touched.paths.count(link) != 0 ||
            Beneath(link, touched.folders)) {
            return true;
        }
    }
    return false;
}

}  // namespace

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
                         const std::string& database) {
    WatchTargets targets;
    for (const auto& [path, hash] : inputs.files) {
        targets.folders.insert(FolderOf(path));
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
        }
    }
    if (!database.empty()) {
        targets.folders.insert(FolderOf(database));
    }
    return targets;
}

bool InputsChanged(const RunInputs& inputs, const CFolderWatch::Touched& touched,
                   const std::map<std::string, std::vector<std::string>>& links) {
    std::set<std::string> names;
    for (const std::string& path : touched.paths) {
        names.insert(NameOf(path));
    }
    for (const auto& [path, hash] : inputs.files) {
        const auto link = links.find(path);
        if (!touched.everything &&
            !Concerns(touched, names,
                      link != links.end() ? link->second : std::vector<std::string>{path})) {
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
