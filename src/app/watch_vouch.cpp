#include "app/watch_vouch.h"

#include <sys/stat.h>

#include <cerrno>

#include "app/watch_inputs.h"

namespace pellandrix {

namespace {

bool SameFolder(const std::string& folder, std::uint64_t device, std::uint64_t inode) {
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           static_cast<std::uint64_t>(st.st_dev) == device &&
           static_cast<std::uint64_t>(st.st_ino) == inode;
}

}  // namespace

void CWatchVouch::Note(const CFolderWatch::Touched& touched) {
    sinceBegun_.Add(touched);
    // What a run going on found stays known until it ends; End forgets it.
    if (!running_) {
        Forget(touched);
    }
}

void CWatchVouch::Forget(const CFolderWatch::Touched& touched) {
    if (touched.everything || !touched.folders.empty()) {
        plain_.clear();
        return;
    }
    // Events name a path under every spelling its folder is watched under,
    // and knowledge is only taken while the folder is watched: the exact
    // path is enough.
    for (const std::string& path : touched.paths) {
        plain_.erase(path);
    }
}

void CWatchVouch::Watched(const CFolderWatch& watch, const std::set<std::string>& folders,
                          const std::vector<std::string>& added) {
    for (const std::string& folder : added) {
        since_.erase(folder);
    }
    for (auto it = since_.begin(); it != since_.end();) {
        const bool kept = folders.count(it->first) != 0 && watch.Watching(it->first);
        it = kept ? std::next(it) : since_.erase(it);
    }
    for (const std::string& folder : folders) {
        struct stat st;
        if (since_.count(folder) == 0 && watch.Watching(folder) &&
            ::stat(folder.c_str(), &st) == 0) {
            since_.emplace(folder, Since{runs_, static_cast<std::uint64_t>(st.st_dev),
                                         static_cast<std::uint64_t>(st.st_ino), ++serial_});
        }
    }
}

void CWatchVouch::Begin(bool recordKept) {
    window_ = std::exchange(sinceBegun_, {});
    trusted_ = recordKept && runs_ > 0 && !blind_ && !blindSinceBegun_ && !window_.everything &&
               window_.folders.empty();
    blindSinceBegun_ = blind_;
    steady_.clear();
    touchedNames_.clear();
    if (trusted_) {
        for (const auto& [folder, since] : since_) {
            if (since.runs < runs_ && SameFolder(folder, since.device, since.inode)) {
                steady_.emplace(folder, since.serial);
            }
        }
        for (const std::string& path : window_.paths) {
            touchedNames_.emplace(NamePart(path));
        }
    }
    ++runs_;
    running_ = true;
}

void CWatchVouch::End() {
    running_ = false;
    trusted_ = false;
    steady_.clear();
    touchedNames_.clear();
    window_ = {};
    Forget(sinceBegun_);
}

void CWatchVouch::LearnOne(const std::string& path) {
    const auto folder = since_.find(FolderPart(path));
    if (folder == since_.end()) {
        return;  // not watched: what is found now may change unseen
    }
    const auto known = plain_.find(path);
    if (known != plain_.end() && known->second.serial == folder->second.serial) {
        return;
    }
    struct stat st;
    const bool plain =
        ::lstat(path.c_str(), &st) == 0 ? S_ISREG(st.st_mode) && st.st_nlink == 1 : errno == ENOENT;
    plain_.insert_or_assign(path, Known{plain, folder->second.serial});
}

bool CWatchVouch::KnownPlain(const std::string& path) const {
    const auto known = plain_.find(path);
    if (known == plain_.end() || !known->second.plain) {
        return false;
    }
    const auto folder = since_.find(FolderPart(path));
    return folder != since_.end() && folder->second.serial == known->second.serial;
}

bool CWatchVouch::Unchanged(const std::string& path) const {
    if (!trusted_ || window_.paths.count(path) != 0 ||
        touchedNames_.find(NamePart(path)) != touchedNames_.end()) {
        return false;
    }
    const auto folder = steady_.find(FolderPart(path));
    const auto known = plain_.find(path);
    return folder != steady_.end() && known != plain_.end() && known->second.plain &&
           known->second.serial == folder->second;
}

}  // namespace pellandrix
