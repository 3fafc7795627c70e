#include "support/spare_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellandrix {

CSpareFiles::~CSpareFiles() {
    Release();
}

int CSpareFiles::Take(const SFilePlace& target, SFilePlace& spare, struct stat& st) {
    const auto it = entries_.find(target.Key());
    if (it == entries_.end() || !it->second.spare.folder) {
        return -1;
    }
    spare = std::move(it->second.spare);
    it->second.spare = SFilePlace();
    // Not through a link, not waiting for a named pipe, and only the very
    // file that was kept: a hidden name someone else reused is none of ours.
    // Writing a regular file is the same with or without O_NONBLOCK.
    CFileDescriptor fd(spare.Open(O_WRONLY | O_NONBLOCK));
    if (!fd.IsOpen() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !(FileId{st.st_dev, st.st_ino} == it->second.spareId)) {
        return -1;
    }
    if (st.st_nlink != 1) {
        // Linked elsewhere meanwhile: rewriting it would change that file.
        ::unlinkat(spare.Folder(), spare.name.c_str(), 0);
        return -1;
    }
    return fd.Release();
}

std::optional<FileId> CSpareFiles::HoldsPlaced(const SFilePlace& target) const {
    const auto it = entries_.find(target.Key());
    if (it == entries_.end()) {
        return std::nullopt;
    }
    const std::optional<struct stat> now = target.Status();
    if (!now || !(FileId{now->st_dev, now->st_ino} == it->second.placed)) {
        return std::nullopt;
    }
    return it->second.placed;
}

void CSpareFiles::Keep(const SFilePlace& target, const FileId& placed, const SFilePlace& spare,
                       const FileId& spareId, std::optional<ContentHash> text) {
    Entry& entry = entries_[target.Key()];
    if (entry.spare.folder && (!spare.folder || entry.spare.Key() != spare.Key())) {
        RemoveIfSame(entry.spare, entry.spareId);
    }
    entry = Entry{placed, spare, spareId, text, std::nullopt};
    folders_.insert(target.folder->id);
}

CSpareFiles::Known CSpareFiles::Compare(const SFilePlace& target, const ContentHash& text) const {
    const auto it = entries_.find(target.Key());
    if (it == entries_.end() || !it->second.text) {
        return Known::Unknown;
    }
    // Other bytes than the run last put there: whatever happened to the
    // file since, writing the new text leaves what is due.
    if (!(*it->second.text == text)) {
        return Known::Differs;
    }
    // The same bytes: only a file nobody touched since it was seen holding
    // them can be left as it is, and the change time tells (see FileStamp).
    const std::optional<struct stat> now = target.Status();
    return it->second.stamp && now && S_ISREG(now->st_mode) && StampOf(*now) == *it->second.stamp
               ? Known::Holds
               : Known::Unknown;
}

void CSpareFiles::NoteHolds(const SFilePlace& target, const ContentHash& text,
                            const FileStamp& stamp) {
    const auto it = entries_.find(target.Key());
    if (it != entries_.end()) {
        it->second.text = text;
        it->second.stamp = stamp;
    }
}

void CSpareFiles::Release() {
    for (const auto& [target, entry] : entries_) {
        if (entry.spare.folder) {
            RemoveIfSame(entry.spare, entry.spareId);
        }
    }
    entries_.clear();
    folders_.clear();
}

}  // namespace pellandrix
