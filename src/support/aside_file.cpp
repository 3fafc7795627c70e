#include "support/aside_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "support/write_behind.h"

namespace pellandrix {

namespace {

std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

}  // namespace

bool CAsideFile::Ready() {
    if (fd_.IsOpen()) {
        return true;
    }
    const std::string folder = TemporaryFolder();
    fd_ = CFileDescriptor(OpenRetrying(folder.c_str(), O_TMPFILE | O_RDWR, 0600));
    if (fd_.IsOpen()) {
        return true;
    }
    // A file system without unnamed files: a named one, unlinked at once.
    std::string name = folder + "/pellandrix-aside-XXXXXX";
    fd_ = CFileDescriptor(::mkostemp(name.data(), O_CLOEXEC));
    if (fd_.IsOpen()) {
        ::unlink(name.c_str());
    }
    return fd_.IsOpen();
}

std::optional<CAsideFile::Piece> CAsideFile::Keep(int fd) {
    if (!Ready()) {
        return std::nullopt;
    }
    Piece piece{end_, 0};
    std::vector<char> block(64 * 1024);
    for (;;) {
        const ssize_t n = ReadRetrying(fd, block.data(), block.size());
        if (n < 0 || (n > 0 && !WriteAll(fd_.Get(), block.data(), static_cast<std::size_t>(n)))) {
            // What was written past end_ is overwritten by the next copy.
            ::lseek(fd_.Get(), end_, SEEK_SET);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        piece.size += static_cast<std::size_t>(n);
    }
    end_ += static_cast<off_t>(piece.size);
    return piece;
}

std::optional<std::string> CAsideFile::Bytes(const Piece& piece) const {
    std::string bytes(piece.size, '\0');
    std::size_t done = 0;
    while (done < piece.size) {
        const ssize_t n = ::pread(fd_.Get(), bytes.data() + done, piece.size - done,
                                  piece.offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return std::nullopt;
        }
        done += static_cast<std::size_t>(n);
    }
    return bytes;
}

void CAsideFile::Clear() {
    fd_ = CFileDescriptor();
    end_ = 0;
}

}  // namespace pellandrix
