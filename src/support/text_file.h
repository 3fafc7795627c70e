#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "support/content_hash.h"
#include "support/file_calls.h"
#include "support/spare_files.h"
#include "support/text_sink.h"
#include "support/write_ways.h"

namespace pellandrix {

// Longest chunk a text read yields; it decides line numbers and which
// chunks can be directives, so it is part of the template format.
inline constexpr std::size_t kMaxChunk = 999;

// Reads a text file the way the Windows C library does in text mode: a
// carriage return directly before a line feed is dropped, every other byte
// (NUL and lone carriage returns included) passes unchanged. The file is
// streamed; it is never held in memory whole.
class CTextReader {
  public:
    CTextReader() = default;
    ~CTextReader();
    CTextReader(const CTextReader&) = delete;
    CTextReader& operator=(const CTextReader&) = delete;

    // Opens `path` for reading. Returns false when it cannot be opened or is
    // not a regular file (a directory or a device would never end or fail
    // on every read).
    bool Open(const std::string& path);
    // Opens `bytes` instead of the file at `path`: the whole text of a
    // regular file that `stamp` describes and that still is as it was,
    // which then reads (and hashes) as the file would. Shares the bytes.
    void OpenCopy(const std::string& path, std::shared_ptr<const std::string> bytes,
                  const FileStamp& stamp);
    // Whether the reader reads a copy (see OpenCopy).
    bool IsCopy() const { return copy_ != nullptr; }
    // Call right after Open: keeps the bytes of a file that comes whole in
    // its first read, as they are in the file, for Whole.
    void KeepWhole() { keepWhole_ = true; }
    // After the end was read, with KeepWhole: the file's bytes as read, and
    // the file's stamp now, when it is still the one it had when opened;
    // none otherwise.
    std::shared_ptr<const std::string> Whole() const;

    // Reads the next chunk into `chunk`: the bytes up to and including the
    // next line feed, at most kMaxChunk bytes, or the rest of the file.
    // Returns false at end of file (then `chunk` is empty) or on a read
    // error.
    bool ReadChunk(std::string& chunk);
    // The same, yielding a view instead of a copy: into the reader's own
    // buffer, valid until the next call of any member.
    bool ReadChunk(std::string_view* chunk);

    // The bytes read ahead and not yet handed out, as they are in the file:
    // at least one chunk's worth of bytes (and one more) when the file
    // still holds that many. For a caller that takes many lines at once;
    // it may change the bytes it is going to Consume. Valid until the next
    // call of any member.
    std::span<char> Ahead();
    // Hands out the first `bytes` bytes of Ahead(), which the caller took.
    void Consume(std::size_t bytes);

    // Gives up the descriptor and buffer while the reader waits (for deep
    // include chains, which would otherwise hold one descriptor per level);
    // Resume reopens the file at the same place. Resume returns false when
    // the file can no longer be opened; reading then ends.
    void Suspend();
    bool Resume();

    bool IsOpen() const { return fd_ >= 0 || suspended_ || copy_ != nullptr; }
    // The stamp of the file Open found at the path.
    const FileStamp& Stamp() const { return openedAs_; }
    // The file Open found at the path.
    FileId Identity() const {
        return FileId{static_cast<dev_t>(openedAs_.device), static_cast<ino_t>(openedAs_.inode)};
    }
    void Close();

    // Hashes every byte of the file as it is read (call right after Open).
    // Once the end has been read, HashRead gives the hash of the whole file
    // with its stamps when it was opened and at the end; none before the
    // end, without StartHashing, or after a read error.
    void StartHashing();
    std::optional<HashedFile> HashRead() const;

  private:
    bool Fill();
    void HashFresh(const char* data, ssize_t n);
    bool ReadChunkByteWise(std::string_view* chunk);

    std::string path_;
    int fd_ = -1;
    bool suspended_ = false;
    off_t resume_offset_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool atEnd_ = false;  // a read found the end of the file
    // Index of the first carriage return at or after pos_ (len_ when there
    // is none), valid while crKnown_.
    std::size_t crAt_ = 0;
    bool crKnown_ = false;
    std::string slow_;  // chunks around a lone carriage return are built here
    // Hashing: the file offset of the next read, how far the hash reaches
    // (a resumed reader reads again what it had read ahead), and the hash.
    off_t readAt_ = 0;
    off_t hashedTo_ = 0;
    bool readFailed_ = false;
    FileStamp openedAs_;
    std::unique_ptr<CContentHasher> hasher_;
    // A copy read instead of the file, and the file's bytes kept (see
    // OpenCopy, KeepWhole).
    std::shared_ptr<const std::string> copy_;
    bool keepWhole_ = false;
    std::shared_ptr<const std::string> whole_;
};

// Writes a generated text file safely: every line feed is written as CR LF,
// and only Commit puts the text in place. Up to kWriterMemoryLimit bytes
// the text stays in memory until then; when it equals the old file's
// content the old file is kept untouched (no temporary file, its time stamp
// stays). Otherwise the text goes to a temporary file beside the target,
// which is renamed over the old file, so the target always holds either its
// old or its complete new text. A target that is not a regular file (a
// device) is written directly. Destroying an uncommitted writer removes the
// temporary file and leaves the target as it was. A text that passes
// kWriterMemoryLimit goes on into its temporary file through a thread of
// the writer's own (CWriteBehind), started then and ended by Commit,
// Suspend, WriteAsIs or destruction. Given a CSpareFiles, the
// writer takes its temporary file from there when one is kept for the
// target, and swaps it with the target when the target holds a file put
// there through the same CSpareFiles. Each of these ways of writing is a
// CWriteWay of its own (see write_ways.h).
class CTextWriter : public ITextSink {
  public:
    CTextWriter() = default;
    ~CTextWriter() override;
    CTextWriter(const CTextWriter&) = delete;
    CTextWriter& operator=(const CTextWriter&) = delete;

    // Prepares writing `path`, a link there followed (see FollowLinks).
    // Returns false when the file cannot be created (for instance a missing
    // directory, a directory without write permission, a write-protected
    // target); nothing is changed then. `spares`, when given, must outlive
    // the writer.
    bool Open(const std::string& path, CSpareFiles* spares = nullptr);
    // The same for the file at `place`, no link followed there: every file
    // is made, compared, renamed and written within the place's folder.
    bool Open(SFilePlace place, CSpareFiles* spares = nullptr);
    // The same, given what is at `place` as the caller has just found it
    // (fstatat, a link not followed; none for nothing), which then is not
    // looked at again.
    bool Open(SFilePlace place, CSpareFiles* spares, std::optional<struct stat> found);
    // Prepares writing the regular file at `place` that this run has put
    // there (through `spares`, when given), as a new file of mode `mode`
    // would be: trusting what was found then, it looks at nothing now. A
    // file that can no longer be written fails Commit.
    void OpenKnown(SFilePlace place, CSpareFiles* spares, mode_t mode);
    // Whether Open would take `place` as it stands, nothing created or
    // opened: what a dry run or a step taken from the record relies on.
    static bool CanOpen(const SFilePlace& place);
    // The same, given what is at `place` as the caller has just found it
    // (as for Open), and `folderTakesFiles` when the caller already found
    // (FolderTakesFiles) that the folder takes files: neither is looked at
    // again.
    static bool CanOpen(const SFilePlace& place, const std::optional<struct stat>& found,
                        bool folderTakesFiles);
    // Whether new files can be made in the folder of `place`.
    static bool FolderTakesFiles(const SFilePlace& place);
    // Appends `text`, translating each line feed to CR LF. Errors are
    // remembered and reported by Commit.
    void Write(std::string_view text) override;
    // Appends `bytes` as they are: text already in the file's form, such as
    // another writer's CommittedText.
    void WriteAsIs(std::string_view bytes);
    // The whole text written, instead of putting it in place, when it is
    // still all in memory (a regular file, nothing failed) and no longer
    // than `limit`; the writer is then as if never opened. None otherwise,
    // and the writer goes on.
    std::optional<std::string> TakeText(std::size_t limit);
    // The mode a new file at the target gets (its old file's, or the
    // default for a new one); while open or after Commit.
    mode_t TargetMode() const { return target_.mode; }
    // Puts the written text in place. Returns false when anything failed;
    // the target then still holds its old content (or does not exist).
    bool Commit();
    // True after a Commit that failed only because no file could be created
    // beside the target: the case Open refuses when it can tell in advance,
    // which nothing was written for.
    bool CreateFailed() const { return target_.createFailed; }
    // After a successful Commit of text kept in memory (the target is a
    // regular file holding up to kWriterMemoryLimit bytes): exactly the
    // bytes the target holds now. Null otherwise; read the file then.
    const std::string* CommittedText() const { return committed_ ? &*committed_ : nullptr; }
    // The hash of CommittedText(), null exactly when that is: worked out
    // once, when the text was compared with the target's.
    const ContentHash* CommittedHash() const {
        return committed_ && target_.textHash ? &*target_.textHash : nullptr;
    }
    // After a successful Commit: whether it put a new file at the target
    // (the text was new, or no file was there) rather than leaving the
    // target's file there, unchanged or written into as a device.
    bool PutNewFile() const { return target_.placedNew; }

    // Gives up memory and descriptor while the writer waits (see
    // CTextReader::Suspend): the text so far goes to the temporary file.
    // Resume returns false when that file can no longer be opened (or could
    // not be created); the writer has failed then.
    void Suspend();
    bool Resume();

  private:
    // What is at a place, found as `st`: none for nothing, or a link
    // leading nowhere.
    static std::optional<struct stat> NoLink(std::optional<struct stat> st);
    // CanOpen for `place`, found as `st` (see NoLink);
    // `folderTookFiles` when the run has put files in its folder
    // (CSpareFiles::PlacedIn).
    static bool CanOpenAs(const SFilePlace& place, const std::optional<struct stat>& st,
                          bool folderTookFiles);
    // The placement of a writer without spares: stateless, so shared.
    static CPlacement& Renaming();
    // Open for a device or pipe at `place`, written into directly.
    bool OpenDevice(const SFilePlace& place);
    // The way the text goes now: the shared no-file way while none is open.
    CWriteWay& Way() { return way_ ? *way_ : NoFileWay(); }
    // Goes on with `next` when the way called handed over to it.
    void GoOn(std::unique_ptr<CWriteWay> next) {
        if (next) {
            way_ = std::move(next);
        }
    }

    SWriteTarget target_;
    std::optional<CSpareSwap> spareSwap_;  // target_.placement when given spares
    // The way the text goes while a file is open; refers to the members
    // above, so it ends first.
    std::unique_ptr<CWriteWay> way_;
    std::optional<std::string> committed_;
};

// Copies the text file `path` to `output` chunk by chunk as CTextReader
// reads it, obeying no directive. A null output reads the file and writes
// nothing. Returns false when the file cannot be opened.
bool AppendFileVerbatim(ITextSink* output, const std::string& path);

}  // namespace pellandrix
