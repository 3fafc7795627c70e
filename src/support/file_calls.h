#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <utility>

namespace pellandrix {

// Read and write buffers of the text files. Allocated without clearing,
// since every byte looked at has been read into them first.
inline constexpr std::size_t kFileBufferSize = 64 * 1024;

// Opens `path` (close-on-exec), trying again when interrupted. Returns the
// descriptor, or -1.
int OpenRetrying(const char* path, int flags, mode_t mode = 0);

// The same without waiting: a named pipe would otherwise block the open
// until some other process opens its other end, which may never happen.
// Once open, the descriptor blocks again as usual.
int OpenNotWaiting(const char* path, int flags);

// Reads once, trying again when interrupted. Returns the bytes read, 0 at
// end of file, -1 on error. Inline: the reader's loop calls it for every
// block.
inline ssize_t ReadRetrying(int fd, char* data, std::size_t size) {
    ssize_t n;
    do {
        n = ::read(fd, data, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

// Reads up to `size` bytes, fewer only at end of file. -1 on error.
ssize_t ReadFull(int fd, char* data, std::size_t size);

// True when `a` and `b` are regular files holding exactly the same bytes.
bool SameContent(const std::string& a, const std::string& b);

// True when `path` is a regular file holding exactly the bytes of
// `content`. Never waits for a named pipe put there meanwhile.
bool FileHolds(const std::string& path, const std::string& content);

// The mode of a newly created file: 0666 less the process's umask.
mode_t NewFileMode();

// Everything up to and including the last slash of `path`; "" for a bare
// name.
std::string DirectoryPart(const std::string& path);

// Owns an open file descriptor (or none) and closes it when it ends.
class CFileDescriptor {
  public:
    CFileDescriptor() = default;
    // Takes over `fd`; a negative value means none.
    explicit CFileDescriptor(int fd) : fd_(fd) {}
    ~CFileDescriptor() { Close(); }
    CFileDescriptor(CFileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    CFileDescriptor& operator=(CFileDescriptor&& other) noexcept;
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    // Hands the descriptor to a new owner; this one then holds none.
    int Release() { return std::exchange(fd_, -1); }
    // Closes the descriptor if one is open. Returns false only when closing
    // it reported an error.
    bool Close();

  private:
    int fd_ = -1;
};

}  // namespace pellandrix
