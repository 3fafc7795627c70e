#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pellandrix {

// The 128-bit XXH3 hash of a file's bytes, as they are on disk. Incremental
// runs compare inputs and outputs by it, never by time stamps alone.
struct ContentHash {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    friend bool operator==(const ContentHash&, const ContentHash&) = default;
};

ContentHash HashBytes(std::string_view bytes);

// A hash built up piece by piece; the same as HashBytes of all pieces
// together.
class CContentHasher {
  public:
    CContentHasher();
    ~CContentHasher();
    CContentHasher(const CContentHasher&) = delete;
    CContentHasher& operator=(const CContentHasher&) = delete;

    void Update(std::string_view bytes);
    ContentHash Digest() const;
    // Starts again as if nothing had been added.
    void Reset();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// What stat says about a file, enough to tell that it was changed without
// reading it: the change time cannot be set back by a user, unlike the
// modification time.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const struct stat& st);
// The stamp of the regular file `path` (a link followed); none when there
// is no regular file there.
std::optional<FileStamp> StampOfPath(const std::string& path);

// Nanoseconds on the wall clock, the clock file time stamps are taken from.
std::int64_t WallClockNs();

// A file's hash, taken by reading it whole, with the stamps it had when the
// reading began and ended (equal when nothing changed it meanwhile).
struct HashedFile {
    ContentHash hash;
    FileStamp before;
    FileStamp after;
};

// Reads the regular file `path` (a link followed) and hashes it. None when
// it cannot be opened or is not a regular file; a read error also gives
// none, since the hash would not stand for the file.
std::optional<HashedFile> HashFile(const std::string& path);
// The same for the file open for reading as `fd`, read from where it
// stands; none unless it is a regular file.
std::optional<HashedFile> HashOpenFile(int fd);

}  // namespace pellandrix
