#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

namespace pellandrix::testkit {

// Makes a file read-only for this process while the object lives: by its
// mode for an ordinary user, by the immutable attribute for root, whom
// modes do not stop. Holds() is false when neither is possible (root on a
// file system without that attribute); callers skip their test then.
class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(const std::string& path) : path_(path) {
        if (::geteuid() != 0) {
            holds_ = ::chmod(path.c_str(), 0444) == 0;
            return;
        }
        holds_ = SetImmutable(true);
        immutable_ = holds_;
    }
    ~ReadOnlyFile() {
        if (immutable_) {
            SetImmutable(false);
        } else {
            ::chmod(path_.c_str(), 0644);
        }
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool Holds() const { return holds_; }

  private:
    bool SetImmutable(bool on) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }

    std::string path_;
    bool holds_ = false;
    bool immutable_ = false;
};

// A second process that holds the exclusive lock of a database file until
// the object is destroyed: it opens the file with its own SQLite
// connection, begins an exclusive transaction and waits.
class LockingProcess {
  public:
    explicit LockingProcess(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            sqlite3* db = nullptr;
            const bool locked =
                sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
            const char answer = locked ? 'L' : 'F';
            (void)!::write(ready[1], &answer, 1);
            ::pause();  // until the parent kills it
            ::_exit(0);
        }
        ::close(ready[1]);
        char answer = 0;
        locked_ = pid_ > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'L';
        ::close(ready[0]);
    }
    ~LockingProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    LockingProcess(const LockingProcess&) = delete;
    LockingProcess& operator=(const LockingProcess&) = delete;

    // True once the second process holds the lock.
    bool Locked() const { return locked_; }

  private:
    pid_t pid_ = -1;
    bool locked_ = false;
};

// Limits the size of any file this process writes, so that a write past
// the limit fails as on a full disk; root is bound by it too. Restores the
// limit and the signal it raises when it goes out of scope.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        ::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    sighandler_t oldHandler_ = SIG_DFL;
};

// Swaps `folder` for a link to `elsewhere` and back, again and again, on a
// thread of its own from Start until Stop, each swap one atomic exchange of
// the folder and the link. Stop (or the end of the object) leaves the
// folder where it was. Bounded: it ends by itself after kMaxSwaps.
class FolderSwapper {
  public:
    static constexpr int kMaxSwaps = 1000000;

    FolderSwapper(std::string folder, const std::string& elsewhere)
        : folder_(std::move(folder)), link_(folder_ + ".link") {
        std::filesystem::create_directory_symlink(elsewhere, link_);
    }
    ~FolderSwapper() { Stop(); }
    FolderSwapper(const FolderSwapper&) = delete;
    FolderSwapper& operator=(const FolderSwapper&) = delete;

    // Starts swapping, unless it runs already, and returns once the first
    // swap is done.
    void Start() {
        if (thread_.joinable()) {
            return;
        }
        stop_ = false;
        thread_ = std::thread([this] {
            while (!stop_ && swaps_ < kMaxSwaps && Swap()) {
            }
            ended_ = true;  // also when no swap could be done
        });
        while (!ended_ && swaps_ == 0) {
            std::this_thread::yield();
        }
    }
    // Stops swapping and puts the folder back. Returns the swaps done.
    int Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (swaps_ % 2 != 0) {
            Swap();
        }
        return swaps_;
    }

  private:
    bool Swap() {
        if (::renameat2(AT_FDCWD, folder_.c_str(), AT_FDCWD, link_.c_str(), RENAME_EXCHANGE) != 0) {
            return false;
        }
        ++swaps_;
        return true;
    }

    std::string folder_;
    std::string link_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<int> swaps_{0};
    std::thread thread_;
};

// Lets this process open no descriptor numbered `count` or above while
// the object lives (0: none at all), as when its limit is reached.
class DescriptorLimit {
  public:
    explicit DescriptorLimit(rlim_t count) {
        ::getrlimit(RLIMIT_NOFILE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = count;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &previous_); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

  private:
    rlimit previous_{};
};

}  // namespace pellandrix::testkit
