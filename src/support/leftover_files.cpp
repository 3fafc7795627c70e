#include "support/leftover_files.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string_view>

#include "support/file_place.h"

namespace pellandrix {

namespace {

constexpr std::string_view kMark = ".~pellandrix.";
constexpr std::size_t kRandomPart = 6;  // mkostemp's XXXXXX
// Room for the mark, a process id, the random part and the dots, within a
// file name's 255 bytes.
constexpr std::size_t kNameKept = 200;

bool IsAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The process id a leftover's name carries, or 0 when the name is not one
// of ours.
pid_t ProcessOf(std::string_view name) {
    const std::size_t mark = name.rfind(kMark);
    if (name.empty() || name[0] != '.' || mark == std::string_view::npos || mark == 0) {
        return 0;
    }
    std::string_view rest = name.substr(mark + kMark.size());
    const std::size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot > 9 ||
        rest.size() != dot + 1 + kRandomPart) {
        return 0;
    }
    long pid = 0;
    for (char c : rest.substr(0, dot)) {
        if (c < '0' || c > '9') {
            return 0;
        }
        pid = pid * 10 + (c - '0');
    }
    for (char c : rest.substr(dot + 1)) {
        if (!IsAlnum(c)) {
            return 0;
        }
    }
    return static_cast<pid_t>(pid);
}

// This process's id, asked once: every page's temporary name carries it.
// A forked child asks again.
std::atomic<pid_t> cachedPid{0};

pid_t ThisProcess() {
    static const bool registered = [] {
        ::pthread_atfork(nullptr, nullptr, [] { cachedPid = 0; });
        return true;
    }();
    (void)registered;
    pid_t pid = cachedPid;
    if (pid == 0) {
        pid = ::getpid();
        cachedPid = pid;
    }
    return pid;
}

bool IsRunning(pid_t pid) {
    // EPERM: it runs, under another user.
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

}  // namespace

std::string TemporaryFileTemplate(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::size_t length = target.size() - start;
    if (length > kNameKept) {
        length = kNameKept;
        // Not inside a UTF-8 sequence: back off over continuation bytes.
        while (length > 0 && (static_cast<unsigned char>(target[start + length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    return target.substr(0, start) + "." + target.substr(start, length) + std::string(kMark) +
           std::to_string(ThisProcess()) + "." + std::string(kRandomPart, 'X');
}

namespace {

// Calls `act` with a descriptor of `folder` and the name of each leftover
// of a process that no longer runs in it.
template <typename Act>
void ForEachLeftover(int folder, Act act) {
    ForEachName(folder, [&act](int listing, const dirent& entry) {
        const pid_t pid = ProcessOf(entry.d_name);
        struct stat st;
        if (pid > 0 && !IsRunning(pid) &&
            ::fstatat(listing, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode)) {
            act(listing, entry.d_name);
        }
    });
}

}  // namespace

int SweepLeftovers(int folder) {
    int removed = 0;
    ForEachLeftover(folder, [&removed](int dirFd, const char* name) {
        removed += ::unlinkat(dirFd, name, 0) == 0 ? 1 : 0;
    });
    return removed;
}

std::vector<std::string> FindLeftovers(int folder) {
    std::vector<std::string> names;
    ForEachLeftover(folder, [&names](int, const char* name) { names.emplace_back(name); });
    return names;
}

}  // namespace pellandrix
