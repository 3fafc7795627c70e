#include "support/spare_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pellandrix {

namespace {

// Removes `path` when it still is the file `id`.
void RemoveIfSame(const std::string& path, const FileId& id) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && FileId{st.st_dev, st.st_ino} == id) {
        ::unlink(path.c_str());
    }
}

}  // namespace

CSpareFiles::~CSpareFiles() {
    Release();
}

int CSpareFiles::Take(const std::string& target, std::string& path) {
    const auto it = entries_.find(target);
    if (it == entries_.end() || it->second.spare.empty()) {
        return -1;
    }
    path = std::move(it->second.spare);
    it->second.spare.clear();
    // Not through a link, not waiting for a named pipe, and only the very
    // file that was kept: a hidden name someone else reused is none of ours.
    // Writing a regular file is the same with or without O_NONBLOCK.
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !(FileId{st.st_dev, st.st_ino} == it->second.spareId)) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    if (st.st_nlink != 1) {
        // Linked elsewhere meanwhile: rewriting it would change that file.
        ::close(fd);
        ::unlink(path.c_str());
        return -1;
    }
    return fd;
}

bool CSpareFiles::HoldsPlaced(const std::string& target, const FileId& now) const {
    const auto it = entries_.find(target);
    return it != entries_.end() && it->second.placed == now;
}

void CSpareFiles::Keep(const std::string& target, const FileId& placed, const std::string& spare,
                       const FileId& spareId) {
    Entry& entry = entries_[target];
    if (!entry.spare.empty() && entry.spare != spare) {
        RemoveIfSame(entry.spare, entry.spareId);
    }
    entry = Entry{placed, spare, spareId};
}

void CSpareFiles::Release() {
    for (const auto& [target, entry] : entries_) {
        if (!entry.spare.empty()) {
            RemoveIfSame(entry.spare, entry.spareId);
        }
    }
    entries_.clear();
}

}  // namespace pellandrix
