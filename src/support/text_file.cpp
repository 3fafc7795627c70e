#include "support/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "support/file_calls.h"

namespace pellandrix {

// ---------------------------------------------------------------- reader

CTextReader::~CTextReader() {
    Close();
}

bool CTextReader::Open(const std::string& path) {
    Close();
    // Not waiting for a named pipe's other end; the reader only goes on with
    // a regular file, which reads alike with or without O_NONBLOCK, so the
    // flag can stay.
    const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_NONBLOCK);
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
    readAt_ = hashedTo_ = 0;
    readFailed_ = false;
    openedAs_ = StampOf(st);
    return true;
}

void CTextReader::OpenCopy(const std::string& path, std::shared_ptr<const std::string> bytes,
                           const FileStamp& stamp) {
    Close();
    path_ = path;
    copy_ = std::move(bytes);
    buffer_ = std::make_unique_for_overwrite<char[]>(std::max(kFileBufferSize, copy_->size()));
    pos_ = len_ = 0;
    atEnd_ = crKnown_ = false;
    readAt_ = hashedTo_ = 0;
    readFailed_ = false;
    openedAs_ = stamp;
}

std::shared_ptr<const std::string> CTextReader::Whole() const {
    struct stat st;
    if (!whole_ || !atEnd_ || readFailed_ || fd_ < 0 || ::fstat(fd_, &st) != 0 ||
        !(StampOf(st) == openedAs_)) {
        return nullptr;
    }
    return whole_;
}

void CTextReader::StartHashing() {
    hasher_ = std::make_unique<CContentHasher>();
}

std::optional<HashedFile> CTextReader::HashRead() const {
    struct stat st;
    if (copy_ != nullptr && hasher_ && atEnd_) {
        return HashedFile{hasher_->Digest(), openedAs_, openedAs_};
    }
    if (!hasher_ || !atEnd_ || readFailed_ || fd_ < 0 || ::fstat(fd_, &st) != 0) {
        return std::nullopt;
    }
    return HashedFile{hasher_->Digest(), openedAs_, StampOf(st)};
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
    hasher_.reset();
    copy_.reset();
    keepWhole_ = false;
    whole_.reset();
}

void CTextReader::HashFresh(const char* data, ssize_t n) {
    const off_t seen = std::max<off_t>(hashedTo_ - readAt_, 0);
    if (seen < n) {
        hasher_->Update(std::string_view(data + seen, static_cast<std::size_t>(n - seen)));
        hashedTo_ = readAt_ + n;
    }
}

bool CTextReader::Fill() {
    // Keeps the unread bytes and reads behind them, so that a chunk never
    // straddles two reads and can be handed out as a view.
    if ((fd_ < 0 && copy_ == nullptr) || atEnd_) {
        return false;
    }
    const std::size_t kept = len_ - pos_;
    std::memmove(buffer_.get(), buffer_.get() + pos_, kept);
    pos_ = 0;
    len_ = kept;
    crKnown_ = false;
    if (copy_ != nullptr) {
        // The whole copy at once, into a buffer made to hold it.
        std::memcpy(buffer_.get(), copy_->data(), copy_->size());
        if (hasher_) {
            HashFresh(copy_->data(), static_cast<ssize_t>(copy_->size()));
        }
        readAt_ = len_ = copy_->size();
        atEnd_ = true;
        return len_ > 0;
    }
    while (len_ < kFileBufferSize) {
        const std::size_t wanted = kFileBufferSize - len_;
        const ssize_t n = ReadRetrying(fd_, buffer_.get() + len_, wanted);
        if (n <= 0) {
            readFailed_ = readFailed_ || n < 0;
            atEnd_ = true;
            break;
        }
        if (hasher_) {
            HashFresh(buffer_.get() + len_, n);
        }
        if (keepWhole_ && readAt_ == 0 && n == openedAs_.size) {
            whole_ =
                std::make_shared<const std::string>(buffer_.get(), static_cast<std::size_t>(n));
        }
        readAt_ += n;
        len_ += static_cast<std::size_t>(n);
        // A regular file that reads short, once all it held when it was
        // opened is read, has ended; reading on would only hear so (a
        // template is mostly one short read).
        if (static_cast<std::size_t>(n) < wanted && readAt_ >= openedAs_.size) {
            atEnd_ = true;
            break;
        }
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
    if (fd_ < 0) {  // a copy stays: it holds no descriptor
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
        return fd_ >= 0 || copy_ != nullptr;
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
    readAt_ = resume_offset_;
    return true;
}

// ---------------------------------------------------------------- writer

CTextWriter::~CTextWriter() = default;

bool CTextWriter::Open(const std::string& path, CSpareFiles* spares) {
    std::optional<SFilePlace> place = LocateFile(path);
    return Open(place ? FollowLinks(*place) : SFilePlace(), spares);
}

bool CTextWriter::Open(SFilePlace place, CSpareFiles* spares) {
    std::optional<struct stat> found = place.folder ? place.Status() : std::nullopt;
    return Open(std::move(place), spares, std::move(found));
}

bool CTextWriter::Open(SFilePlace place, CSpareFiles* spares, std::optional<struct stat> found) {
    way_.reset();
    committed_.reset();
    target_.failed = false;
    target_.createFailed = false;
    target_.placedNew = false;
    target_.textHash.reset();
    if (!place.folder) {
        return false;
    }
    // Looked at once, for the check and for how to write.
    const std::optional<struct stat> st = NoLink(std::move(found));
    if (!CanOpenAs(place, st, spares != nullptr && spares->PlacedIn(place))) {
        return false;
    }
    if (st && !S_ISREG(st->st_mode)) {
        return OpenDevice(place);
    }
    target_.mode = st ? (st->st_mode & 07777) : NewFileMode();
    target_.found = st.has_value();
    target_.place = std::move(place);
    target_.placement = spares != nullptr ? &spareSwap_.emplace(*spares) : &Renaming();
    way_ = MemoryWay(target_);
    return true;
}

void CTextWriter::OpenKnown(SFilePlace place, CSpareFiles* spares, mode_t mode) {
    way_.reset();
    committed_.reset();
    target_ = SWriteTarget();
    target_.mode = mode;
    target_.found = true;
    target_.place = std::move(place);
    target_.placement = spares != nullptr ? &spareSwap_.emplace(*spares) : &Renaming();
    way_ = MemoryWay(target_);
}

CPlacement& CTextWriter::Renaming() {
    static CPlacement renaming;
    return renaming;
}

std::optional<std::string> CTextWriter::TakeText(std::size_t limit) {
    std::optional<std::string> text = Way().TakeText(limit);
    if (text) {
        way_.reset();
    }
    return text;
}

std::optional<struct stat> CTextWriter::NoLink(std::optional<struct stat> st) {
    if (st && S_ISLNK(st->st_mode)) {
        st.reset();  // leading nowhere: it is replaced itself
    }
    return st;
}

bool CTextWriter::CanOpen(const SFilePlace& place) {
    return place.folder && CanOpenAs(place, NoLink(place.Status()), false);
}

bool CTextWriter::CanOpen(const SFilePlace& place, const std::optional<struct stat>& found,
                          bool folderTakesFiles) {
    return place.folder && CanOpenAs(place, NoLink(found), folderTakesFiles);
}

bool CTextWriter::FolderTakesFiles(const SFilePlace& place) {
    return ::faccessat(place.Folder(), ".", W_OK | X_OK, 0) == 0;
}

bool CTextWriter::CanOpenAs(const SFilePlace& place, const std::optional<struct stat>& st,
                            bool folderTookFiles) {
    if (st && S_ISDIR(st->st_mode)) {
        return false;
    }
    if (st && ::faccessat(place.Folder(), place.name.c_str(), W_OK, 0) != 0) {
        // A write-protected page stays as it is, as it would with a plain
        // open for writing; renaming would silently replace it.
        return false;
    }
    // A device or pipe is written into; otherwise the temporary file is
    // only created once the text turns out to be new, and until then this
    // check stands in for creating it. A folder the run has put files in
    // took them moments ago, which asking again would only repeat (should
    // it have been closed to writing since, putting the text in place
    // fails, and that is reported).
    return (st && !S_ISREG(st->st_mode)) || folderTookFiles || FolderTakesFiles(place);
}

bool CTextWriter::OpenDevice(const SFilePlace& place) {
    // A device or pipe cannot be replaced by renaming; write into it. A
    // regular file put there meanwhile is not written into from its start.
    CFileDescriptor device(place.Open(O_WRONLY | O_NONBLOCK));
    struct stat st;
    if (!device.IsOpen() || ::fstat(device.Get(), &st) != 0 || S_ISREG(st.st_mode)) {
        return false;
    }
    ::fcntl(device.Get(), F_SETFL, ::fcntl(device.Get(), F_GETFL) & ~O_NONBLOCK);
    way_ = DeviceWay(target_, std::move(device));
    return true;
}

void CTextWriter::Write(std::string_view text) {
    GoOn(Way().Write(text));
}

void CTextWriter::WriteAsIs(std::string_view bytes) {
    GoOn(Way().WriteAsIs(bytes));
}

bool CTextWriter::Commit() {
    const bool ok = Way().Commit(committed_);
    way_.reset();
    return ok;
}

void CTextWriter::Suspend() {
    GoOn(Way().Suspend());
}

bool CTextWriter::Resume() {
    GoOn(Way().Resume());
    return !target_.failed;
}

bool AppendFileVerbatim(ITextSink* output, const std::string& path) {
    CTextReader reader;
    if (!reader.Open(path)) {
        return false;
    }
    std::string_view chunk;
    while (reader.ReadChunk(&chunk)) {
        if (output != nullptr) {
            output->Write(chunk);
        }
    }
    return true;
}

}  // namespace pellandrix
