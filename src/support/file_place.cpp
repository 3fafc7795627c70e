#include "support/file_place.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <ctime>
#include <string_view>
#include <vector>

namespace pellandrix {

namespace {

// As the kernel allows when it resolves a path.
constexpr int kMaxLinks = 40;

// Raises the soft limit of open descriptors to the hard one. True when it
// was lower.
bool RaiseDescriptorLimit() {
    rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) {
        return false;
    }
    limit.rlim_cur = limit.rlim_max;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

FolderHandle OpenFolderAt(int from, const std::string& path) {
    const char* name = path.empty() ? "." : path.c_str();
    int fd = OpenRetryingAt(from, name, O_PATH | O_DIRECTORY);
    // A run holds each target folder open, and a project may have more of
    // them than the common soft limit of 1024 descriptors allows; nothing
    // here uses select(), which is what that limit protects.
    if (fd < 0 && errno == EMFILE && RaiseDescriptorLimit()) {
        fd = OpenRetryingAt(from, name, O_PATH | O_DIRECTORY);
    }
    if (fd < 0) {
        return nullptr;
    }
    auto folder = std::make_shared<SOpenFolder>();
    folder->fd = CFileDescriptor(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        return nullptr;
    }
    folder->id = FileId{st.st_dev, st.st_ino};
    return folder;
}

// The components of `relative`, without empty ones and ".".
std::vector<std::string_view> Components(std::string_view relative) {
    std::vector<std::string_view> parts;
    while (!relative.empty()) {
        const std::size_t slash = relative.find('/');
        const std::string_view part = relative.substr(0, slash);
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        relative =
            slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
    }
    return parts;
}

// The target of the link at `place`, or none when it is no link.
std::optional<std::string> LinkText(const SFilePlace& place) {
    char text[PATH_MAX];
    const ssize_t n = ::readlinkat(place.Folder(), place.name.c_str(), text, sizeof text);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof text) {
        return std::nullopt;
    }
    return std::string(text, static_cast<std::size_t>(n));
}

// The place a link at `link` reading `text` leads to: resolved from the
// link's own folder, as the kernel resolves it.
std::optional<SFilePlace> LinkedPlace(const SFilePlace& link, const std::string& text) {
    const std::size_t slash = text.rfind('/');
    SFilePlace next;
    next.name = text.substr(slash == std::string::npos ? 0 : slash + 1);
    if (slash == std::string::npos) {
        next.folder = link.folder;
    } else {
        next.folder = OpenFolderAt(link.Folder(), text.substr(0, slash == 0 ? 1 : slash));
    }
    if (!next.folder) {
        return std::nullopt;
    }
    return next;
}

int OpenAtRetrying(int from, std::string_view name, int flags, mode_t mode) {
    return OpenRetryingAt(from, std::string(name).c_str(), flags, mode);
}

}  // namespace

FolderHandle OpenFolder(const std::string& path) {
    return OpenFolderAt(AT_FDCWD, path);
}

int OpenBeneath(int root, const std::string& relative, int flags, mode_t mode) {
    // A kernel (or a container's filter) without openat2 says so once; the
    // walk gives the same answers.
    static std::atomic<bool> walk{false};
    if (!walk) {
        open_how how{};
        how.flags = static_cast<unsigned>(flags | O_NOFOLLOW | O_CLOEXEC);
        how.mode = (flags & O_CREAT) != 0 ? mode : 0;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        long fd;
        do {
            fd = ::syscall(SYS_openat2, root, relative.c_str(), &how, sizeof how);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) {
            return static_cast<int>(fd);
        }
        walk = errno == ENOSYS;
    }
    return OpenBeneathByWalking(root, relative, flags, mode);
}

int OpenBeneathByWalking(int root, const std::string& relative, int flags, mode_t mode) {
    if (!relative.empty() && relative.front() == '/') {
        errno = EXDEV;
        return -1;
    }
    std::vector<std::string_view> parts = Components(relative);
    if (parts.empty()) {
        parts.push_back(".");
    }
    // The folders walked into below `root`; ".." steps back out of the last
    // one, and never above `root`.
    std::vector<CFileDescriptor> walked;
    const std::string_view last = parts.back();
    parts.pop_back();
    for (const std::string_view part : parts) {
        if (part == "..") {
            if (walked.empty()) {
                errno = EXDEV;
                return -1;
            }
            walked.pop_back();
            continue;
        }
        const int from = walked.empty() ? root : walked.back().Get();
        CFileDescriptor next(OpenAtRetrying(from, part, O_PATH | O_DIRECTORY | O_NOFOLLOW, 0));
        if (!next.IsOpen()) {
            struct stat st;
            if (::fstatat(from, std::string(part).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode)) {
                errno = ELOOP;
            }
            return -1;
        }
        walked.push_back(std::move(next));
    }
    if (last == "..") {
        if (walked.empty()) {
            errno = EXDEV;
            return -1;
        }
        walked.pop_back();
    }
    const int from = walked.empty() ? root : walked.back().Get();
    return OpenAtRetrying(from, last == ".." ? "." : last, flags | O_NOFOLLOW, mode);
}

std::optional<struct stat> SFilePlace::Status() const {
    struct stat st;
    if (::fstatat(Folder(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return st;
}

std::string SFilePlace::Key() const {
    return std::to_string(folder->id.device) + ":" + std::to_string(folder->id.inode) + "/" + name;
}

std::optional<SFilePlace> LocateFile(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    SFilePlace place;
    if (slash == std::string::npos) {
        place.folder = OpenFolder("");
        place.name = path;
    } else {
        place.folder = OpenFolder(path.substr(0, slash == 0 ? 1 : slash));
        place.name = path.substr(slash + 1);
    }
    if (!place.folder) {
        return std::nullopt;
    }
    return place;
}

std::vector<SFilePlace> LinkChain(const SFilePlace& place) {
    std::vector<SFilePlace> chain;
    const SFilePlace* at = &place;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        const std::optional<std::string> text = LinkText(*at);
        if (!text) {
            return chain;
        }
        std::optional<SFilePlace> next = LinkedPlace(*at, *text);
        if (!next) {
            return {};
        }
        chain.push_back(std::move(*next));
        at = &chain.back();
    }
    return {};
}

SFilePlace FollowLinks(const SFilePlace& place) {
    const std::vector<SFilePlace> chain = LinkChain(place);
    return !chain.empty() && chain.back().Status() ? chain.back() : place;
}

void ForEachName(int folder, const std::function<void(int listing, const dirent& entry)>& act) {
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return;
    }
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> closing(dir, ::closedir);
    while (const dirent* entry = ::readdir(dir)) {
        act(::dirfd(dir), *entry);
    }
}

std::vector<std::string> LinksIn(const FolderHandle& folder) {
    std::vector<std::string> names;
    ForEachName(folder->fd.Get(), [&names](int listing, const dirent& entry) {
        struct stat st;
        // Not every file system tells the type in the listing.
        if (entry.d_type == DT_LNK ||
            (entry.d_type == DT_UNKNOWN &&
             ::fstatat(listing, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
             S_ISLNK(st.st_mode))) {
            names.emplace_back(entry.d_name);
        }
    });
    return names;
}

namespace {

// Bits for a new file's name. O_EXCL makes the name the file's own; these
// only keep names made at the same time apart, so one getrandom per process
// seeds them instead of one per file (splitmix64 over a counter).
std::uint64_t NameBits() {
    static const std::uint64_t seed = [] {
        std::uint64_t bits = 0;
        if (::getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits)) {
            bits = static_cast<std::uint64_t>(::time(nullptr)) ^
                   reinterpret_cast<std::uintptr_t>(&bits);
        }
        return bits;
    }();
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t z = seed + (counter.fetch_add(1) + 1) * 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

}  // namespace

int CreateUniqueFile(const FolderHandle& folder, const std::string& pattern, std::string& name,
                     mode_t mode) {
    static constexpr std::string_view kLetters =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    constexpr std::size_t kRandom = 6;
    constexpr int kTries = 100;
    if (pattern.size() < kRandom) {
        errno = EINVAL;
        return -1;
    }
    for (int attempt = 0; attempt < kTries; ++attempt) {
        std::uint64_t bits = NameBits();
        name = pattern;
        for (std::size_t i = 0; i < kRandom; ++i) {
            name[name.size() - kRandom + i] = kLetters[(bits & 0xFF) % kLetters.size()];
            bits >>= 8;
        }
        const int fd = OpenBeneath(folder->fd.Get(), name, O_WRONLY | O_CREAT | O_EXCL, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool RemoveIfSame(const SFilePlace& place, const FileId& expected) {
    const std::optional<struct stat> st = place.Status();
    return st && FileId{st->st_dev, st->st_ino} == expected &&
           ::unlinkat(place.Folder(), place.name.c_str(), 0) == 0;
}

}  // namespace pellandrix
