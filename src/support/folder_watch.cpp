#include "support/folder_watch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pellandrix {

namespace {

constexpr std::uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                  IN_DELETE | IN_ATTRIB | IN_MODIFY | IN_DELETE_SELF |
                                  IN_MOVE_SELF | IN_ONLYDIR;

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

CFolderWatch::CFolderWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

CFolderWatch::~CFolderWatch() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::vector<std::string> CFolderWatch::WatchFolders(const std::set<std::string>& folders,
                                                    std::vector<std::string>* failed,
                                                    bool* cameBack) {
    std::set<std::string> wanted;
    std::set<std::string> missing;
    std::vector<std::string> newlyMissing;
    for (const std::string& folder : folders) {
        const std::string there = Existing(folder);
        wanted.insert(there);
        if (there != folder) {
            missing.insert(folder);
            if (missing_.count(folder) == 0) {
                newlyMissing.push_back(folder);
            }
        }
    }
    if (cameBack != nullptr) {
        *cameBack = false;
        for (const std::string& folder : missing_) {
            *cameBack = *cameBack || (folders.count(folder) != 0 && missing.count(folder) == 0);
        }
    }
    missing_ = missing;
    for (auto it = byFolder_.begin(); it != byFolder_.end();) {
        if (wanted.count(it->first) == 0) {
            ::inotify_rm_watch(fd_, it->second);
            byWatch_.erase(it->second);
            it = byFolder_.erase(it);
        } else {
            ++it;
        }
    }
    for (const std::string& folder : wanted) {
        // Adding again is harmless and renews a watch the kernel dropped
        // when the folder went and came back.
        const int wd = ::inotify_add_watch(fd_, folder.c_str(), kEvents);
        if (wd < 0) {
            if (failed != nullptr) {
                failed->push_back(folder);
            }
            continue;
        }
        byFolder_[folder] = wd;
        byWatch_[wd] = folder;
    }
    return newlyMissing;
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
            if ((event->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
                touched.everything = true;
                continue;
            }
            const auto folder = byWatch_.find(event->wd);
            if (folder != byWatch_.end() && event->len > 0) {
                touched.paths.insert(folder->second + "/" + event->name);
            }
        }
    }
    return touched;
}

}  // namespace pellandrix
