#include "support/file_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace pellandrix {

int OpenRetrying(const char* path, int flags, mode_t mode) {
    return OpenRetryingAt(AT_FDCWD, path, flags, mode);
}

int OpenRetryingAt(int folder, const char* path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::openat(folder, path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int OpenNotWaiting(const char* path, int flags) {
    const int fd = OpenRetrying(path, flags | O_NONBLOCK);
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}

ssize_t ReadFull(int fd, char* data, std::size_t size) {
    std::size_t total = 0;
    while (total < size) {
        const ssize_t n = ReadRetrying(fd, data + total, size - total);
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(total);
}

bool SameContent(int a, int b) {
    struct stat sa, sb;
    if (a < 0 || b < 0 || ::fstat(a, &sa) != 0 || ::fstat(b, &sb) != 0 || !S_ISREG(sa.st_mode) ||
        !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size) {
        return false;
    }
    auto ba = std::make_unique_for_overwrite<char[]>(kFileBufferSize);
    auto bb = std::make_unique_for_overwrite<char[]>(kFileBufferSize);
    bool same = true;
    while (same) {
        const ssize_t na = ReadFull(a, ba.get(), kFileBufferSize);
        const ssize_t nb = ReadFull(b, bb.get(), kFileBufferSize);
        same = na >= 0 && na == nb &&
               std::memcmp(ba.get(), bb.get(), static_cast<std::size_t>(na)) == 0;
        if (na <= 0) {
            break;
        }
    }
    return same;
}

bool FileHolds(int fd, const std::string& content) {
    struct stat st;
    bool same = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                static_cast<std::size_t>(st.st_size) == content.size();
    if (same) {
        auto buffer =
            std::make_unique_for_overwrite<char[]>(std::min(kFileBufferSize, content.size() + 1));
        std::size_t at = 0;
        while (same && at < content.size()) {
            const ssize_t n =
                ReadFull(fd, buffer.get(), std::min(kFileBufferSize, content.size() - at));
            same = n > 0 &&
                   std::memcmp(buffer.get(), content.data() + at, static_cast<std::size_t>(n)) == 0;
            at += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        // The file may have grown since fstat looked: it must end here.
        same = same && ReadFull(fd, buffer.get(), 1) == 0;
    }
    return same;
}

mode_t NewFileMode() {
    // The process's umask can only be read by setting it; set it back at once.
    static const mode_t mask = [] {
        const mode_t m = ::umask(022);
        ::umask(m);
        return m;
    }();
    return 0666 & ~mask;
}

std::string DirectoryPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

CFileDescriptor& CFileDescriptor::operator=(CFileDescriptor&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool CFileDescriptor::Close() {
    if (fd_ < 0) {
        return true;
    }
    return ::close(std::exchange(fd_, -1)) == 0;
}

}  // namespace pellandrix
