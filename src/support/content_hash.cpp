#include "support/content_hash.h"

#include <fcntl.h>
#include <unistd.h>
#include <xxhash.h>

#include <cerrno>
#include <ctime>
#include <vector>

#include "support/file_calls.h"

namespace pellandrix {

namespace {

ContentHash FromXxh(XXH128_hash_t h) {
    return ContentHash{h.low64, h.high64};
}

std::int64_t Ns(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

constexpr std::size_t kHashBlock = 64 * 1024;

}  // namespace

ContentHash HashBytes(std::string_view bytes) {
    return FromXxh(XXH3_128bits(bytes.data(), bytes.size()));
}

struct CContentHasher::State {
    XXH3_state_t* xxh = XXH3_createState();
    ~State() { XXH3_freeState(xxh); }
};

CContentHasher::CContentHasher() : state_(std::make_unique<State>()) {
    Reset();
}

CContentHasher::~CContentHasher() = default;

void CContentHasher::Update(std::string_view bytes) {
    XXH3_128bits_update(state_->xxh, bytes.data(), bytes.size());
}

ContentHash CContentHasher::Digest() const {
    return FromXxh(XXH3_128bits_digest(state_->xxh));
}

void CContentHasher::Reset() {
    XXH3_128bits_reset(state_->xxh);
}

FileStamp StampOf(const struct stat& st) {
    return FileStamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::int64_t>(st.st_size), Ns(st.st_mtim), Ns(st.st_ctim)};
}

std::optional<FileStamp> StampOfPath(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return StampOf(st);
}

std::int64_t WallClockNs() {
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    return Ns(now);
}

std::optional<HashedFile> HashFile(const std::string& path) {
    const int fd = OpenNotWaiting(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return std::nullopt;
    }
    const CFileDescriptor file(fd);
    return HashOpenFile(fd);
}

std::optional<HashedFile> HashOpenFile(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    HashedFile result;
    result.before = StampOf(st);
    CContentHasher hasher;
    std::vector<char> block(kHashBlock);
    for (;;) {
        const ssize_t n = ReadRetrying(fd, block.data(), block.size());
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        hasher.Update(std::string_view(block.data(), static_cast<std::size_t>(n)));
    }
    if (::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    result.after = StampOf(st);
    result.hash = hasher.Digest();
    return result;
}

}  // namespace pellandrix
