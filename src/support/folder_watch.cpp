#include "support/folder_watch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pellandrix {

namespace {

constexpr std::uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                        IN_DELETE | IN_ATTRIB | IN_MODIFY | IN_DELETE_SELF |
                                        IN_MOVE_SELF | IN_ONLYDIR;
constexpr std::uint32_t kFileEvents =
    IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The nearest folder at or above `folder` that exists ("." at the end of
// a relative path, "/" of an absolute one).
std::string Existing(std::string folder) {
    while (!folder.empty() && !IsFolder(folder)) {
        const std::size_t slash = folder.rfind('/');
        folder = slash == std::string::npos ? "" : slash == 0 ? "/" : folder.substr(0, slash);
    }
    return folder.empty() ? "." : folder;
}

}  // namespace

void CFolderWatch::Touched::Add(const Touched& more) {
    paths.insert(more.paths.begin(), more.paths.end());
    folders.insert(more.folders.begin(), more.folders.end());
    everything = everything || more.everything;
}

CFolderWatch::CFolderWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ < 0) {
        error_ = std::strerror(errno);
    }
}

CFolderWatch::~CFolderWatch() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void CFolderWatch::Forget(const std::string& path) {
    const auto at = byPath_.find(path);
    if (at == byPath_.end()) {
        return;
    }
    const auto watched = byWatch_.find(at->second);
    if (watched != byWatch_.end()) {
        watched->second.paths.erase(path);
        // The same folder reached under two spellings has one watch: it
        // goes with the last of them.
        if (watched->second.paths.empty()) {
            ::inotify_rm_watch(fd_, watched->first);
            byWatch_.erase(watched);
        }
    }
    byPath_.erase(at);
}

CFolderWatch::Result CFolderWatch::Watch(const std::set<std::string>& folders,
                                         const std::set<std::string>& files) {
    Result result;
    std::map<std::string, bool> wanted;  // path to whether it is a folder
    std::set<std::string> missing;
    for (const std::string& folder : folders) {
        const std::string there = Existing(folder);
        wanted[there] = true;
        if (there != folder) {
            missing.insert(folder);
            if (missing_.count(folder) == 0) {
                result.missing.push_back(folder);
            }
        }
    }
    for (const std::string& folder : missing_) {
        result.cameBack =
            result.cameBack || (folders.count(folder) != 0 && missing.count(folder) == 0);
    }
    missing_ = missing;
    for (const std::string& file : files) {
        if (IsFile(file)) {
            wanted.emplace(file, false);
        }
    }
    std::vector<std::string> gone;
    for (const auto& [path, wd] : byPath_) {
        if (wanted.count(path) == 0) {
            gone.push_back(path);
        }
    }
    for (const std::string& path : gone) {
        Forget(path);
    }
    for (const auto& [path, folder] : wanted) {
        // Adding again is harmless and renews a watch the kernel dropped
        // when the folder went and came back (under a new descriptor).
        const int wd = ::inotify_add_watch(fd_, path.c_str(), folder ? kFolderEvents : kFileEvents);
        if (wd < 0) {
            result.failed.emplace_back(path, std::strerror(errno));
            Forget(path);
            continue;
        }
        if (const auto at = byPath_.find(path); at == byPath_.end() || at->second != wd) {
            Forget(path);
            result.added.push_back(path);
        }
        byPath_[path] = wd;
        byWatch_[wd].paths.insert(path);
        byWatch_[wd].folder = folder;
    }
    return result;
}

CFolderWatch::Touched CFolderWatch::Drain() {
    Touched touched;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            const auto watched = byWatch_.find(event->wd);
            if ((event->mask & IN_Q_OVERFLOW) != 0 || watched == byWatch_.end()) {
                touched.everything = touched.everything || (event->mask & IN_Q_OVERFLOW) != 0;
                continue;
            }
            for (const std::string& path : watched->second.paths) {
                if (!watched->second.folder) {
                    touched.paths.insert(path);
                } else if ((event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
                    touched.everything = true;
                } else if (event->len > 0) {
                    touched.paths.insert(path + "/" + event->name);
                }
            }
        }
    }
    return touched;
}

}  // namespace pellandrix
