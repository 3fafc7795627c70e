#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>

namespace pellandrix {

// A file's identity: device and inode.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};

// For sets of FileIds.
struct FileIdHash {
    std::size_t operator()(const FileId& id) const {
        return std::hash<unsigned long long>()(static_cast<unsigned long long>(id.inode) ^
                                               (static_cast<unsigned long long>(id.device) << 40));
    }
};

// Read and write buffers of the text files. Allocated without clearing,
// since every byte looked at has been read into them first.
inline constexpr std::size_t kFileBufferSize = 64 * 1024;

// Opens `path` (close-on-exec), trying again when interrupted. Returns the
// descriptor, or -1.
int OpenRetrying(const char* path, int flags, mode_t mode = 0);
// The same with `path` resolved from the folder open as `folder`.
int OpenRetryingAt(int folder, const char* path, int flags, mode_t mode = 0);

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

// True when the files open for reading as `a` and `b`, read from where
// they stand, are regular files holding exactly the same bytes.
bool SameContent(int a, int b);

// True when the file open for reading as `fd` (-1: none), read from where
// it stands, is a regular file holding exactly the bytes of `content`.
bool FileHolds(int fd, const std::string& content);

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
    // Hands the descriptor over to the caller, who closes it.
    int Release() { return std::exchange(fd_, -1); }
    // Closes the descriptor if one is open. Returns false only when closing
    // it reported an error.
    bool Close();

  private:
    int fd_ = -1;
};

}  // namespace pellandrix
