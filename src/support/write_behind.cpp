#include "support/write_behind.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pellandrix {

CWriteBehind::CWriteBehind(int fd) : fd_(fd) {
    // Started last, when every member it uses is in place.
    thread_ = std::thread([this] { Run(); });
}

CWriteBehind::~CWriteBehind() {
    Finish();
}

void CWriteBehind::Post(std::string& block) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !hasPosted_; });
    posted_.swap(block);
    hasPosted_ = true;
    block.clear();
    changed_.notify_all();
}

bool CWriteBehind::Finish() {
    if (!finished_) {
        finished_ = true;
        {
            std::lock_guard lock(mutex_);
            finishing_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    std::lock_guard lock(mutex_);
    return !failed_;
}

void CWriteBehind::Run() {
    std::string block;
    for (;;) {
        bool failed = false;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return hasPosted_ || finishing_; });
            if (!hasPosted_) {
                return;  // finishing, and everything is written
            }
            block.swap(posted_);
            hasPosted_ = false;
            failed = failed_;
        }
        changed_.notify_all();
        if (!failed && !WriteTranslated(block)) {
            std::lock_guard lock(mutex_);
            failed_ = true;
        }
        block.clear();
    }
}

bool CWriteBehind::WriteTranslated(const std::string& text) {
    out_.clear();
    out_.reserve(text.size() + text.size() / 16);
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at < end) {
        const auto* lf = static_cast<const char*>(std::memchr(at, '\n', end - at));
        if (lf == nullptr) {
            out_.append(at, end);
            break;
        }
        out_.append(at, lf);
        out_.append("\r\n", 2);
        at = lf + 1;
    }
    const char* data = out_.data();
    std::size_t size = out_.size();
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        written_ += n;
    }
    return true;
}

}  // namespace pellandrix
