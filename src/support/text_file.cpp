#include "support/text_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

#include "support/file_calls.h"
#include "support/leftover_files.h"

namespace pellandrix {

// ---------------------------------------------------------------- reader

CTextReader::~CTextReader() {
    Close();
}

bool CTextReader::Open(const std::string& path) {
    Close();
    const int fd = OpenNotWaiting(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    path_ = path;
    fd_ = fd;
    buffer_ = std::make_unique_for_overwrite<char[]>(kFileBufferSize);
    pos_ = len_ = 0;
    atEnd_ = crKnown_ = false;
    return true;
}

void CTextReader::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    suspended_ = false;
    buffer_.reset();
    pos_ = len_ = 0;
    atEnd_ = crKnown_ = false;
}

bool CTextReader::Fill() {
    // Keeps the unread bytes and reads behind them, so that a chunk never
    // straddles two reads and can be handed out as a view.
    if (fd_ < 0 || atEnd_) {
        return false;
    }
    const std::size_t kept = len_ - pos_;
    std::memmove(buffer_.get(), buffer_.get() + pos_, kept);
    pos_ = 0;
    len_ = kept;
    crKnown_ = false;
    while (len_ < kFileBufferSize) {
        const ssize_t n = ReadRetrying(fd_, buffer_.get() + len_, kFileBufferSize - len_);
        if (n <= 0) {
            atEnd_ = true;
            break;
        }
        len_ += static_cast<std::size_t>(n);
    }
    return len_ > kept;
}

bool CTextReader::ReadChunk(std::string& chunk) {
    std::string_view view;
    const bool read = ReadChunk(&view);
    chunk.assign(view);
    return read;
}

bool CTextReader::ReadChunk(std::string_view* chunk) {
    // One more byte than a chunk holds, so that a carriage return ending
    // the longest chunk is seen together with the line feed behind it.
    if (len_ - pos_ <= kMaxChunk) {
        Fill();
    }
    char* start = buffer_ ? buffer_.get() + pos_ : nullptr;
    const std::size_t avail = std::min(len_ - pos_, kMaxChunk);
    if (avail == 0) {
        *chunk = std::string_view();
        return false;
    }
    if (!crKnown_) {
        const void* cr = std::memchr(start, '\r', len_ - pos_);
        crAt_ = cr == nullptr
                    ? len_
                    : static_cast<std::size_t>(static_cast<const char*>(cr) - buffer_.get());
        crKnown_ = true;
    }
    const void* lf = std::memchr(start, '\n', avail);
    const std::size_t size =
        lf == nullptr ? avail : static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1;
    if (crAt_ >= pos_ + size) {
        *chunk = std::string_view(start, size);
        pos_ += size;
        return true;
    }
    // A carriage return within reach. Before a line feed it is dropped,
    // which in place means the line feed moves onto it.
    const std::size_t cr = crAt_ - pos_;
    if (cr < kMaxChunk && crAt_ + 1 < len_ && buffer_[crAt_ + 1] == '\n') {
        start[cr] = '\n';
        *chunk = std::string_view(start, cr + 1);
        pos_ = crAt_ + 2;
        crKnown_ = false;
        return true;
    }
    return ReadChunkByteWise(chunk);
}

std::span<char> CTextReader::Ahead() {
    if (len_ - pos_ <= kMaxChunk) {
        Fill();
    }
    if (!buffer_) {
        return {};
    }
    return std::span<char>(buffer_.get() + pos_, len_ - pos_);
}

void CTextReader::Consume(std::size_t bytes) {
    pos_ += std::min(bytes, len_ - pos_);
    if (crAt_ < pos_) {
        crKnown_ = false;
    }
}

bool CTextReader::ReadChunkByteWise(std::string_view* chunk) {
    // A lone carriage return is kept as a byte of the line, so the chunk
    // is built the long way into slow_.
    std::string& out = slow_;
    out.clear();
    crKnown_ = false;
    while (out.size() < kMaxChunk) {
        if (pos_ == len_ && !Fill()) {
            break;
        }
        const char* start = buffer_.get() + pos_;
        const std::size_t avail = std::min(len_ - pos_, kMaxChunk - out.size());
        const void* lf = std::memchr(start, '\n', avail);
        std::size_t i =
            lf == nullptr ? avail : static_cast<std::size_t>(static_cast<const char*>(lf) - start);
        if (const void* cr = std::memchr(start, '\r', i)) {
            i = static_cast<std::size_t>(static_cast<const char*>(cr) - start);
        }
        out.append(start, i);
        pos_ += i;
        if (i == avail) {
            continue;
        }
        const char c = buffer_[pos_++];
        if (c == '\n') {
            out.push_back('\n');
            break;
        }
        // A carriage return: dropped only when a line feed follows, which
        // may lie in the next block of the file.
        if (pos_ == len_ && !Fill()) {
            out.push_back('\r');
            break;
        }
        if (buffer_[pos_] == '\n') {
            ++pos_;
            out.push_back('\n');
            break;
        }
        out.push_back('\r');
    }
    *chunk = out;
    return !out.empty();
}

void CTextReader::Suspend() {
    if (fd_ < 0) {
        return;
    }
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    resume_offset_ = at - static_cast<off_t>(len_ - pos_);
    ::close(fd_);
    fd_ = -1;
    buffer_.reset();
    pos_ = len_ = 0;
    atEnd_ = crKnown_ = false;
    suspended_ = true;
}

bool CTextReader::Resume() {
    if (!suspended_) {
        return fd_ >= 0;
    }
    suspended_ = false;
    const int fd = OpenRetrying(path_.c_str(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    if (::lseek(fd, resume_offset_, SEEK_SET) != resume_offset_) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    buffer_ = std::make_unique_for_overwrite<char[]>(kFileBufferSize);
    return true;
}

// ---------------------------------------------------------------- writer

namespace {

// Text handed to the writing thread at a time: large enough that handing
// over costs nothing next to writing, small enough to stay in the cache.
constexpr std::size_t kWriteBehindBlock = 256 * 1024;

}  // namespace

CTextWriter::~CTextWriter() {
    Discard();
}

bool CTextWriter::Open(const std::string& path, CSpareFiles* spares) {
    Discard();
    committed_.reset();
    spares_ = spares;
    failed_ = false;
    createFailed_ = false;
    direct_ = false;
    target_ = path;
    struct stat st;
    bool exists = ::lstat(path.c_str(), &st) == 0;
    std::string real = path;
    if (exists && S_ISLNK(st.st_mode)) {
        // Through a symbolic link the file it points to is replaced, so that
        // the link itself stays. A dangling link is replaced itself.
        exists = ::stat(path.c_str(), &st) == 0;
        char resolved[PATH_MAX];
        if (exists && ::realpath(path.c_str(), resolved) != nullptr) {
            real = resolved;
        }
    }
    if (exists && S_ISDIR(st.st_mode)) {
        return false;
    }
    if (exists && ::access(path.c_str(), W_OK) != 0) {
        // A write-protected page stays as it is, as it would with a plain
        // open for writing; renaming would silently replace it.
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or pipe cannot be replaced by renaming; write into it.
        direct_ = true;
        fd_ = OpenNotWaiting(path.c_str(), O_WRONLY | O_TRUNC);
        open_ = fd_ >= 0;
        return open_;
    }
    // The temporary file is only created once the text turns out to be new;
    // until then this check stands in for creating it.
    const std::string dir = DirectoryPart(real);
    if (::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) != 0) {
        return false;
    }
    mode_ = exists ? (st.st_mode & 07777) : NewFileMode();
    target_ = real;
    open_ = true;
    return true;
}

void CTextWriter::Write(std::string_view text) {
    if (!open_ || failed_) {
        return;
    }
    if (behind_) {
        pending_.append(text);
        if (pending_.size() >= kWriteBehindBlock) {
            behind_->Post(pending_);
        }
        return;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            buffer_.append(text.substr(start));
            break;
        }
        buffer_.append(text.substr(start, lf - start));
        buffer_.append("\r\n");
        start = lf + 1;
    }
    PassOn();
}

void CTextWriter::WriteAsIs(std::string_view bytes) {
    if (!open_ || failed_) {
        return;
    }
    // The thread translates everything it gets; text already in the file's
    // form goes on without it.
    StopWritingBehind();
    buffer_.append(bytes);
    PassOn();
}

void CTextWriter::PassOn() {
    if (suspended_) {
        return;
    }
    if (fd_ >= 0) {
        if (buffer_.size() >= kFileBufferSize) {
            Flush();
        }
    } else if (buffer_.size() > kWriterMemoryLimit && MakeTemporaryFile() && Flush()) {
        // A text this long is likely to go on for a while. Without a thread
        // to spare it is written here, as before.
        try {
            behind_ = std::make_unique<CWriteBehind>(fd_);
        } catch (const std::system_error&) {
            behind_.reset();
        }
    }
}

void CTextWriter::StopWritingBehind() {
    if (!behind_) {
        return;
    }
    if (!pending_.empty()) {
        behind_->Post(pending_);
    }
    const bool ok = behind_->Finish();
    written_ += behind_->Written();
    behind_.reset();
    failed_ = failed_ || !ok;
}

bool CTextWriter::MakeTemporaryFile() {
    written_ = 0;
    std::string spare;
    const int reused = spares_ != nullptr ? spares_->Take(target_, spare) : -1;
    if (reused >= 0) {
        ::fchmod(reused, mode_);
        fd_ = reused;
        temp_ = spare;
        reused_ = true;
        return true;
    }
    std::string temp = TemporaryFileTemplate(target_);
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        failed_ = true;
        createFailed_ = true;
        buffer_.clear();
        return false;
    }
    ::fchmod(fd, mode_);
    fd_ = fd;
    temp_ = temp;
    reused_ = false;
    return true;
}

bool CTextWriter::WriteOut(const std::string& bytes) {
    if (!bytes.empty() && !failed_) {
        failed_ = !WriteAll(fd_, bytes.data(), bytes.size());
        written_ += static_cast<off_t>(bytes.size());
    }
    return !failed_;
}

bool CTextWriter::Flush() {
    StopWritingBehind();
    WriteOut(buffer_);
    buffer_.clear();
    return !failed_;
}

bool CTextWriter::Commit() {
    if (!open_ || suspended_) {
        Discard();
        return false;
    }
    bool ok = !failed_;
    // Text kept in memory is compared before any file is made for it, and
    // kept for CommittedText once it is in place.
    const bool inMemory = temp_.empty() && !direct_;
    if (inMemory && ok && FileHolds(target_, buffer_)) {
        committed_ = std::move(buffer_);
        Discard();
        return true;
    }
    ok = ok && (inMemory ? MakeTemporaryFile() && WriteOut(buffer_) : Flush());
    FileId id;
    ok = ok && (direct_ || EndTemporaryFile(id));
    const bool closed = fd_ < 0 || ::close(fd_) == 0;
    fd_ = -1;
    ok = ok && closed;
    if (ok && !direct_ && (inMemory || !SameContent(temp_, target_))) {
        ok = PutInPlace(id);
    }
    if (ok && inMemory) {
        committed_ = std::move(buffer_);
    }
    Discard();
    return ok;
}

// Cuts off what a reused spare held beyond the new text and notes which
// file the temporary one is.
bool CTextWriter::EndTemporaryFile(FileId& id) {
    struct stat st;
    if ((reused_ && ::ftruncate(fd_, written_) != 0) || ::fstat(fd_, &st) != 0) {
        return false;
    }
    id = FileId{st.st_dev, st.st_ino};
    return true;
}

bool CTextWriter::PutInPlace(const FileId& id) {
    struct stat now;
    if (spares_ != nullptr && ::stat(target_.c_str(), &now) == 0 &&
        spares_->HoldsPlaced(target_, FileId{now.st_dev, now.st_ino}) &&
        ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
        // Swapped in one step: the replaced file, which this run wrote,
        // now waits under the temporary name for the target's next text.
        spares_->Keep(target_, id, temp_, FileId{now.st_dev, now.st_ino});
        temp_.clear();
        return true;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        return false;
    }
    temp_.clear();
    if (spares_ != nullptr) {
        spares_->Keep(target_, id, std::string(), FileId{});
    }
    return true;
}

void CTextWriter::Suspend() {
    if (!open_ || direct_ || suspended_) {
        return;
    }
    if (fd_ >= 0 || (!failed_ && MakeTemporaryFile())) {
        Flush();
        ::close(fd_);
        fd_ = -1;
    }
    suspended_ = true;
}

bool CTextWriter::Resume() {
    if (!suspended_) {
        return !failed_;
    }
    suspended_ = false;
    if (!failed_) {
        // Not appending: a reused spare may still hold old text beyond.
        fd_ = OpenRetrying(temp_.c_str(), O_WRONLY);
        failed_ = fd_ < 0 || ::lseek(fd_, written_, SEEK_SET) != written_;
    }
    return !failed_;
}

void CTextWriter::Discard() {
    // The thread writes into fd_ until it is finished.
    behind_.reset();
    pending_.clear();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    open_ = false;
    suspended_ = false;
    buffer_.clear();
}

}  // namespace pellandrix
