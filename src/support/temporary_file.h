#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

#include "support/file_calls.h"
#include "support/file_place.h"
#include "support/spare_files.h"

namespace pellandrix {

// The file a CTextWriter writes a new text into, beside its target, until
// the text is complete and the file replaces the target. Made by a
// CPlacement. Ending the object closes the file and removes it, unless it
// was put in place.
class CTemporaryFile {
  public:
    // No file.
    CTemporaryFile() = default;
    // Takes over the file at `place`, open for writing as `fd` at offset
    // 0. `reused` tells that it may hold old text (a spare), which End cuts
    // off.
    CTemporaryFile(SFilePlace place, int fd, bool reused)
        : place_(std::move(place)), fd_(fd), reused_(reused) {}
    // The same for a new file that must end with the mode `mode`, which End
    // sees to.
    CTemporaryFile(SFilePlace place, int fd, bool reused, mode_t mode)
        : place_(std::move(place)), fd_(fd), reused_(reused), mode_(mode) {}
    // The same for a file known to be `id`, which End then need not ask for.
    CTemporaryFile(SFilePlace place, int fd, bool reused, const FileId& id)
        : place_(std::move(place)), fd_(fd), reused_(reused), id_(id) {}
    ~CTemporaryFile();
    CTemporaryFile(CTemporaryFile&& other) noexcept;
    CTemporaryFile& operator=(CTemporaryFile&& other) = delete;

    // True while the object holds a file that is not in place.
    bool Exists() const { return place_.folder != nullptr; }
    const SFilePlace& Place() const { return place_; }
    // The descriptor to write through; -1 while closed.
    int Descriptor() const { return fd_.Get(); }

    // Appends `size` bytes at `data`. Returns false when writing fails.
    bool Write(const char* data, std::size_t size);
    bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }
    // Counts `bytes` that were written through Descriptor() by others.
    void AddWritten(off_t bytes) { written_ += bytes; }

    // Ends the text here, cutting off whatever a reused file held beyond
    // it, and tells which file this is. Returns false on failure.
    bool End(FileId* id);
    // Closes the descriptor; the file stays. Returns false when closing
    // reported an error.
    bool Close() { return fd_.Close(); }
    // Opens the file again after Close, at the end of the text written so
    // far. Returns false when it cannot be opened or positioned.
    bool Reopen();
    // Notes that the file is no longer at its path (put in place, or
    // swapped with the target): nothing is removed at the end.
    void Placed() { place_ = SFilePlace(); }

  private:
    SFilePlace place_;
    CFileDescriptor fd_;
    bool reused_ = false;
    off_t written_ = 0;
    std::optional<FileId> id_;
    std::optional<mode_t> mode_;
};

// How a writer's temporary file is made and how it replaces the target:
// a new hidden file beside the target, renamed over it. It has no state,
// so one object serves every writer.
class CPlacement {
  public:
    virtual ~CPlacement() = default;
    // Whether `target` holds exactly `text`, whose hash is `hash`, now, so
    // that nothing need be written: read and compared. Never waits for a
    // named pipe put there. Without `found` (nothing was at the target when
    // the writer opened it) it holds nothing: a file made there meanwhile
    // is replaced like any other.
    virtual bool Holds(const SFilePlace& target, const std::string& text, const ContentHash& hash,
                       bool found);
    // Makes a temporary file for `target` with the mode `mode`. Returns no
    // file when none can be created beside the target.
    virtual CTemporaryFile Make(const SFilePlace& target, mode_t mode);
    // Puts `file`, closed and known as `id`, in place of `target`. Returns
    // false when it cannot; the file is then still the caller's.
    virtual bool PutInPlace(CTemporaryFile& file, const FileId& id, const SFilePlace& target);
};

// The placement of a run that keeps spare files (see CSpareFiles): the
// spare kept for the target is taken as the temporary file when there is
// one, and a target that still holds the file the run last put there is
// swapped with the new file in one step, the replaced file becoming the
// next spare. Otherwise as CPlacement, with the placed file noted.
class CSpareSwap final : public CPlacement {
  public:
    // `spares` must outlive the object.
    explicit CSpareSwap(CSpareFiles& spares) : spares_(spares) {}
    // Answered from what the run knows of the target where it can (see
    // CSpareFiles::Compare): a piece every page includes is then neither
    // read again to find its text unchanged, nor read to find it changed.
    bool Holds(const SFilePlace& target, const std::string& text, const ContentHash& hash,
               bool found) override;
    CTemporaryFile Make(const SFilePlace& target, mode_t mode) override;
    bool PutInPlace(CTemporaryFile& file, const FileId& id, const SFilePlace& target) override;

  private:
    CSpareFiles& spares_;
    // The hash of the text Holds found missing, which PutInPlace places.
    std::optional<ContentHash> placing_;
};

}  // namespace pellandrix
