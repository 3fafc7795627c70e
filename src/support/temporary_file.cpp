#include "support/temporary_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "support/leftover_files.h"
#include "support/write_behind.h"

namespace pellandrix {

CTemporaryFile::~CTemporaryFile() {
    fd_.Close();
    if (Exists()) {
        ::unlinkat(place_.Folder(), place_.name.c_str(), 0);
    }
}

CTemporaryFile::CTemporaryFile(CTemporaryFile&& other) noexcept
    : place_(std::exchange(other.place_, SFilePlace())),
      fd_(std::move(other.fd_)),
      reused_(other.reused_),
      written_(other.written_),
      id_(other.id_),
      mode_(other.mode_) {}

bool CTemporaryFile::Write(const char* data, std::size_t size) {
    const bool ok = WriteAll(fd_.Get(), data, size);
    written_ += static_cast<off_t>(size);
    return ok;
}

bool CTemporaryFile::End(FileId* id) {
    if (reused_ && ::ftruncate(fd_.Get(), written_) != 0) {
        return false;
    }
    // A descriptor's file never changes: what was seen of it holds.
    if (id_) {
        *id = *id_;
        return true;
    }
    struct stat st;
    if (::fstat(fd_.Get(), &st) != 0) {
        return false;
    }
    if (mode_ && (st.st_mode & 07777) != *mode_ && ::fchmod(fd_.Get(), *mode_) != 0) {
        return false;
    }
    *id = FileId{st.st_dev, st.st_ino};
    return true;
}

bool CTemporaryFile::Reopen() {
    // Not appending: a reused spare may still hold old text beyond.
    fd_ = CFileDescriptor(place_.Open(O_WRONLY));
    return fd_.IsOpen() && ::lseek(fd_.Get(), written_, SEEK_SET) == written_;
}

bool CPlacement::Holds(const SFilePlace& target, const std::string& text, const ContentHash&,
                       bool found) {
    if (!found) {
        return false;
    }
    // Reading a regular file is the same with or without O_NONBLOCK.
    const CFileDescriptor old(target.Open(O_RDONLY | O_NONBLOCK));
    return FileHolds(old.Get(), text);
}

CTemporaryFile CPlacement::Make(const SFilePlace& target, mode_t mode) {
    SFilePlace temp{target.folder, {}};
    // Made with its mode at once where the umask leaves that mode whole: no
    // more open to others than it ends anyway, before any text is in it. A
    // folder's default ACL may still give another, which End mends.
    const bool direct = (mode & ~mode_t{0666}) == 0 && (mode & ~NewFileMode()) == 0;
    const int fd = CreateUniqueFile(target.folder, TemporaryFileTemplate(target.name), temp.name,
                                    direct ? mode : 0600);
    if (fd < 0) {
        return CTemporaryFile();
    }
    if (!direct) {
        ::fchmod(fd, mode);
    }
    return CTemporaryFile(std::move(temp), fd, false, mode);
}

bool CPlacement::PutInPlace(CTemporaryFile& file, const FileId&, const SFilePlace& target) {
    const SFilePlace& temp = file.Place();
    if (::renameat(temp.Folder(), temp.name.c_str(), target.Folder(), target.name.c_str()) != 0) {
        return false;
    }
    file.Placed();
    return true;
}

bool CSpareSwap::Holds(const SFilePlace& target, const std::string& text, const ContentHash& hash,
                       bool found) {
    placing_.reset();
    if (!found) {
        placing_ = hash;
        return false;
    }
    switch (spares_.Compare(target, hash)) {
        case CSpareFiles::Known::Holds:
            return true;
        case CSpareFiles::Known::Differs:
            placing_ = hash;
            return false;
        case CSpareFiles::Known::Unknown:
            break;
    }
    const CFileDescriptor old(target.Open(O_RDONLY | O_NONBLOCK));
    struct stat before;
    struct stat after;
    const bool stamped = old.IsOpen() && ::fstat(old.Get(), &before) == 0;
    if (!FileHolds(old.Get(), text)) {
        placing_ = hash;
        return false;
    }
    // Noted only when nothing changed the file while it was read.
    if (stamped && ::fstat(old.Get(), &after) == 0 && StampOf(before) == StampOf(after)) {
        spares_.NoteHolds(target, hash, StampOf(after));
    }
    return true;
}

CTemporaryFile CSpareSwap::Make(const SFilePlace& target, mode_t mode) {
    SFilePlace spare;
    struct stat st;
    const int fd = spares_.Take(target, spare, st);
    if (fd < 0) {
        return CPlacement::Make(target, mode);
    }
    if ((st.st_mode & 07777) != mode) {
        ::fchmod(fd, mode);
    }
    return CTemporaryFile(std::move(spare), fd, true, FileId{st.st_dev, st.st_ino});
}

bool CSpareSwap::PutInPlace(CTemporaryFile& file, const FileId& id, const SFilePlace& target) {
    const std::optional<FileId> now = spares_.HoldsPlaced(target);
    const SFilePlace& temp = file.Place();
    if (now && ::renameat2(temp.Folder(), temp.name.c_str(), target.Folder(), target.name.c_str(),
                           RENAME_EXCHANGE) == 0) {
        // Swapped in one step: the replaced file, which this run wrote,
        // now waits under the temporary name for the target's next text.
        spares_.Keep(target, id, temp, *now, placing_);
        file.Placed();
        return true;
    }
    if (!CPlacement::PutInPlace(file, id, target)) {
        return false;
    }
    spares_.Keep(target, id, SFilePlace(), FileId{}, placing_);
    return true;
}

}  // namespace pellandrix
