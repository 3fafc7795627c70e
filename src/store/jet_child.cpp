#include "store/jet_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <new>

#include "store/dao_exception.h"
#include "store/jet_wire.h"

namespace pellandrix {

namespace {

// A project database of thousands of rows reads in well under a second;
// these leave room for a slow machine and stop a loop over pages that
// point at each other.
constexpr rlim_t kCpuSeconds = 10;
constexpr auto kWallTime = std::chrono::seconds(30);
constexpr rlim_t kAddressSpace = rlim_t{1} << 30;
// More than any project database's rows can fill.
constexpr std::size_t kMaxReply = std::size_t{512} << 20;

constexpr int kExitOutOfMemory = 3;
constexpr int kExitOther = 4;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

[[noreturn]] void Damaged(const std::string& cause) {
    ThrowLayerError(SQLITE_CORRUPT, "die alte Datenbank ist beschädigt: " + cause);
}

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_;
};

void Limit(int resource, rlim_t value) {
    const rlimit limit{value, value};
    ::setrlimit(resource, &limit);
}

// Quiet and bounded before the file is touched. (The reading after it needs
// nothing a thread of the parent could hold locked but malloc, which glibc
// resets in the child.)
void PrepareChild() {
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    for (int fd = 0; fd <= 2 && null >= 0; ++fd) {
        ::dup2(null, fd);
    }
    // SIGXCPU must end the child at the soft limit already.
    ::signal(SIGXCPU, SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    const rlimit cpu{kCpuSeconds, kCpuSeconds + 1};
    ::setrlimit(RLIMIT_CPU, &cpu);
    if (!kUnderAddressSanitizer) {
        Limit(RLIMIT_AS, kAddressSpace);
    }
    Limit(RLIMIT_FSIZE, 0);
    Limit(RLIMIT_CORE, 0);
    Limit(RLIMIT_NPROC, 0);
}

// Once libmdb has the file open (and its character conversion loaded), no
// file may be opened at all: whatever a hostile file makes libmdb do, it
// can neither read nor create another one.
void ForbidOpening() {
    Limit(RLIMIT_NOFILE, 0);
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

[[noreturn]] void RunChild(int out, const std::string& path,
                           const std::vector<std::string>& tables) {
    PrepareChild();
    int code = kExitOther;
    try {
        std::string reply;
        try {
            reply = EncodeJetTables(ReadJetTables(path, tables, ForbidOpening));
        } catch (const CDaoException& e) {
            reply = EncodeJetFailure(e.Code(), e.Message());
        }
        code = WriteAll(out, reply) ? 0 : kExitOther;
    } catch (const std::bad_alloc&) {
        code = kExitOutOfMemory;
    } catch (...) {
        code = kExitOther;
    }
    ::_exit(code);
}

// Everything the child sends until it closes the pipe; false when the
// deadline passed first or it sent more than any real reply.
bool ReadReply(int in, std::string& reply) {
    const auto deadline = std::chrono::steady_clock::now() + kWallTime;
    char buffer[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd watched{in, POLLIN, 0};
        const int ready =
            left.count() > 0 ? ::poll(&watched, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        reply.append(buffer, static_cast<std::size_t>(n));
        if (reply.size() > kMaxReply) {
            return false;
        }
    }
}

// The child's end, as a cause; empty when it ended as a reader should.
std::string HowItEnded(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGXCPU) {
            return "das Lesen brauchte mehr als " + std::to_string(kCpuSeconds) +
                   " Sekunden Rechenzeit";
        }
        return "das Lesen brach mit Signal " + std::to_string(signal) + " ab";
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kExitOutOfMemory) {
        return "das Lesen brauchte zu viel Speicher";
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        return "das Lesen brach ab (Code " + std::to_string(WEXITSTATUS(status)) + ")";
    }
    return "";
}

int WaitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return 0;  // already reaped (SIGCHLD ignored): the reply decides
        }
    }
    return status;
}

}  // namespace

std::vector<JetTableData> ReadJetTablesApart(const std::string& path,
                                             const std::vector<std::string>& tables) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        ThrowLayerError(SQLITE_CANTOPEN, "no pipe for reading " + path);
    }
    Fd in(ends[0]);
    Fd out(ends[1]);
    const pid_t child = ::fork();
    if (child < 0) {
        ThrowLayerError(SQLITE_CANTOPEN, "no process for reading " + path);
    }
    if (child == 0) {
        in.Close();
        RunChild(out.Get(), path, tables);
    }
    out.Close();
    std::string reply;
    const bool whole = ReadReply(in.Get(), reply);
    if (!whole) {
        ::kill(child, SIGKILL);
    }
    const int status = WaitFor(child);
    if (!whole) {
        Damaged(reply.size() > kMaxReply ? "das Lesen lieferte zu viele Daten"
                                         : "das Lesen dauerte zu lange und wurde abgebrochen");
    }
    if (const std::string cause = HowItEnded(status); !cause.empty()) {
        Damaged(cause);
    }
    return DecodeJetReply(reply);
}

}  // namespace pellandrix
