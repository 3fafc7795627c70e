#include "support/write_behind.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

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
        bool written = false;
        try {
            written = !failed && WriteTranslated(block);
        } catch (const std::bad_alloc&) {
            // Nothing may leave the thread; the writer reports the failure.
            written = false;
        }
        if (!written) {
            std::lock_guard lock(mutex_);
            failed_ = true;
        }
        block.clear();
    }
}

bool CWriteBehind::WriteTranslated(const std::string& text) {
    // Translated into a buffer of fixed size that is written out whenever it
    // fills, so that even a block of one 16 MB line takes no more memory.
    if (!out_) {
        out_ = std::make_unique_for_overwrite<char[]>(kOutSize);
    }
    std::size_t used = 0;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at < end) {
        const auto* lf = static_cast<const char*>(std::memchr(at, '\n', end - at));
        const char* const stop = lf == nullptr ? end : lf;
        while (at < stop) {
            if (used == kOutSize && !WriteOut(&used)) {
                return false;
            }
            const std::size_t n = std::min(static_cast<std::size_t>(stop - at), kOutSize - used);
            std::memcpy(out_.get() + used, at, n);
            used += n;
            at += n;
        }
        if (lf != nullptr) {
            if (kOutSize - used < 2 && !WriteOut(&used)) {
                return false;
            }
            out_[used++] = '\r';
            out_[used++] = '\n';
            at = lf + 1;
        }
    }
    return WriteOut(&used);
}

bool CWriteBehind::WriteOut(std::size_t* used) {
    const std::size_t size = *used;
    *used = 0;
    if (!WriteAll(fd_, out_.get(), size)) {
        return false;
    }
    written_ += static_cast<off_t>(size);
    return true;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace pellandrix
