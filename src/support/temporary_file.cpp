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
    if (!path_.empty()) {
        ::unlink(path_.c_str());
    }
}

CTemporaryFile::CTemporaryFile(CTemporaryFile&& other) noexcept
    : path_(std::exchange(other.path_, std::string())),
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
    fd_ = CFileDescriptor(OpenRetrying(path_.c_str(), O_WRONLY));
    return fd_.IsOpen() && ::lseek(fd_.Get(), written_, SEEK_SET) == written_;
}

CTemporaryFile CPlacement::Make(const std::string& target, mode_t mode) {
    std::string temp = TemporaryFileTemplate(target);
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return CTemporaryFile();
    }
    ::fchmod(fd, mode);
    return CTemporaryFile(std::move(temp), fd, false);
}

bool CPlacement::PutInPlace(CTemporaryFile& file, const FileId&, const std::string& target) {
    if (::rename(file.Path().c_str(), target.c_str()) != 0) {
        return false;
    }
    file.Placed();
    return true;
}

CTemporaryFile CSpareSwap::Make(const std::string& target, mode_t mode) {
    std::string spare;
    const int fd = spares_.Take(target, spare);
    if (fd < 0) {
        return CPlacement::Make(target, mode);
    }
    ::fchmod(fd, mode);
    return CTemporaryFile(std::move(spare), fd, true);
}

bool CSpareSwap::PutInPlace(CTemporaryFile& file, const FileId& id, const std::string& target) {
    struct stat now;
    if (::stat(target.c_str(), &now) == 0 &&
        spares_.HoldsPlaced(target, FileId{now.st_dev, now.st_ino}) &&
        ::renameat2(AT_FDCWD, file.Path().c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) ==
            0) {
        // Swapped in one step: the replaced file, which this run wrote,
        // now waits under the temporary name for the target's next text.
        spares_.Keep(target, id, file.Path(), FileId{now.st_dev, now.st_ino});
        file.Placed();
        return true;
    }
    if (!CPlacement::PutInPlace(file, id, target)) {
        return false;
    }
    spares_.Keep(target, id, std::string(), FileId{});
    return true;
}

}  // namespace pellandrix
