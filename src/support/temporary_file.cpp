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
      written_(other.written_) {}

bool CTemporaryFile::Write(const char* data, std::size_t size) {
    const bool ok = WriteAll(fd_.Get(), data, size);
    written_ += static_cast<off_t>(size);
    return ok;
}

bool CTemporaryFile::End(FileId* id) {
    struct stat st;
    if ((reused_ && ::ftruncate(fd_.Get(), written_) != 0) || ::fstat(fd_.Get(), &st) != 0) {
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

CTemporaryFile CPlacement::Make(const SFilePlace& target, mode_t mode) {
    SFilePlace temp{target.folder, {}};
    const int fd = CreateUniqueFile(target.folder, TemporaryFileTemplate(target.name), temp.name);
    if (fd < 0) {
        return CTemporaryFile();
    }
    ::fchmod(fd, mode);
    return CTemporaryFile(std::move(temp), fd, false);
}

bool CPlacement::PutInPlace(CTemporaryFile& file, const FileId&, const SFilePlace& target) {
    const SFilePlace& temp = file.Place();
    if (::renameat(temp.Folder(), temp.name.c_str(), target.Folder(), target.name.c_str()) != 0) {
        return false;
    }
    file.Placed();
    return true;
}

CTemporaryFile CSpareSwap::Make(const SFilePlace& target, mode_t mode) {
    SFilePlace spare;
    const int fd = spares_.Take(target, spare);
    if (fd < 0) {
        return CPlacement::Make(target, mode);
    }
    ::fchmod(fd, mode);
    return CTemporaryFile(std::move(spare), fd, true);
}

bool CSpareSwap::PutInPlace(CTemporaryFile& file, const FileId& id, const SFilePlace& target) {
    const std::optional<struct stat> now = target.Status();
    const SFilePlace& temp = file.Place();
    if (now && spares_.HoldsPlaced(target, FileId{now->st_dev, now->st_ino}) &&
        ::renameat2(temp.Folder(), temp.name.c_str(), target.Folder(), target.name.c_str(),
                    RENAME_EXCHANGE) == 0) {
        // Swapped in one step: the replaced file, which this run wrote,
        // now waits under the temporary name for the target's next text.
        spares_.Keep(target, id, temp, FileId{now->st_dev, now->st_ino});
        file.Placed();
        return true;
    }
    if (!CPlacement::PutInPlace(file, id, target)) {
        return false;
    }
    spares_.Keep(target, id, SFilePlace(), FileId{});
    return true;
}

}  // namespace pellandrix
