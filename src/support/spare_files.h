#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "support/content_hash.h"
#include "support/file_place.h"

namespace pellandrix {

// The generated files one run has put in place, each with the file it
// replaced kept under a hidden name beside it, to take the next text for the
// same target. A file written many times in one run (a header every page
// includes) then needs no new file per write: its two files take turns.
// Creating a file and deleting the one it replaces is far dearer than
// rewriting one on common file systems (ext4 searches longer and longer for
// a free inode while recently deleted ones pile up, and flushes the new data
// before a rename over an existing file).
//
// Only files this run created are ever kept and rewritten: a target is
// swapped with its spare only while it still holds the file the run last
// put there. Destroying the object (or Release) removes every spare file.
// A crash of the machine during a run may leave such a rewritten target with
// an older text of that run, since nothing waits for the disk; a crash of
// the program leaves the hidden spare files behind, for a later run to sweep
// (leftover_files.h).
class CSpareFiles {
  public:
    CSpareFiles() = default;
    ~CSpareFiles();
    CSpareFiles(const CSpareFiles&) = delete;
    CSpareFiles& operator=(const CSpareFiles&) = delete;

    // Hands the spare kept for `target` over to the caller, who must put it
    // in place or remove it: an open descriptor for writing (file offset 0,
    // old content still there) and its place, beside the target; `st`
    // receives what fstat said of it. Returns -1 when there is none or it
    // is no longer the file that was kept (then it is left alone).
    int Take(const SFilePlace& target, SFilePlace& spare, struct stat& st);

    // The file at `target` when it is still the one this run last put
    // there; none otherwise. Looks at the target only when the run put one.
    std::optional<FileId> HoldsPlaced(const SFilePlace& target) const;
    // Whether this run has put a file in the folder of `place` (through
    // Keep), which the folder therefore took. Looks at nothing.
    bool PlacedIn(const SFilePlace& place) const { return folders_.count(place.folder->id) != 0; }

    // Notes that `placed` is now at `target`, and that `spare` (a place
    // beside it, or none) holds `spareId`, the file it replaced. A spare
    // kept before for the same target is removed. `text` is the hash of the
    // bytes placed, when known (see Compare).
    void Keep(const SFilePlace& target, const FileId& placed, const SFilePlace& spare,
              const FileId& spareId, std::optional<ContentHash> text = std::nullopt);

    // What the run can tell, without reading `target`, about whether it
    // holds the bytes hashed as `text`.
    enum class Known {
        Differs,  // the run last put other bytes there: writing is due
        Holds,    // the very file the run saw holding them is still there
        Unknown,  // read it to tell
    };
    Known Compare(const SFilePlace& target, const ContentHash& text) const;
    // Notes that `target`, as `stamp` describes it, was found holding the
    // bytes hashed as `text`, for Compare. Only for a target noted by Keep.
    void NoteHolds(const SFilePlace& target, const ContentHash& text, const FileStamp& stamp);

    // Removes every spare file and forgets every target.
    void Release();

  private:
    struct Entry {
        FileId placed;
        SFilePlace spare;  // no folder: none
        FileId spareId;
        std::optional<ContentHash> text;  // of the bytes last placed or found
        std::optional<FileStamp> stamp;   // of the file found holding them
    };
    std::unordered_map<std::string, Entry> entries_;  // by SFilePlace::Key of the target
    std::unordered_set<FileId, FileIdHash> folders_;  // see PlacedIn
};

}  // namespace pellandrix
