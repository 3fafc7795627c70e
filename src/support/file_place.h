#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/file_calls.h"

namespace pellandrix {

// Files named by a folder held open and a name in it. A write, rename or
// delete made through a place acts in that very folder, however the path
// that led there changes meanwhile: a folder swapped for a link cannot send
// it elsewhere.

// A folder held open (O_PATH), with its identity.
struct SOpenFolder {
    CFileDescriptor fd;
    FileId id;
};

// Shared by every place in the folder, so that a run holds one descriptor
// per folder however many files it writes there.
using FolderHandle = std::shared_ptr<const SOpenFolder>;

// Opens the folder `path` (empty: the working folder), following links as
// any open does. Null when it is no folder or cannot be opened.
FolderHandle OpenFolder(const std::string& path);

// Opens `relative` beneath the folder `root`, refusing (-1, errno EXDEV or
// ELOOP) an absolute path, ".." above `root` and every symbolic link on the
// way and at the end. `flags` as for open(2); O_NOFOLLOW and O_CLOEXEC are
// added, and an interrupted open is tried again. Through openat2 with
// RESOLVE_BENEATH where the kernel has it (Linux 5.6), else
// OpenBeneathByWalking. Returns the descriptor, or -1.
int OpenBeneath(int root, const std::string& relative, int flags, mode_t mode = 0);

// The same by walking `relative` one component at a time, each folder
// opened with O_NOFOLLOW | O_DIRECTORY from the one before.
int OpenBeneathByWalking(int root, const std::string& relative, int flags, mode_t mode = 0);

// A file as a name (one component, no slash) in a folder held open.
struct SFilePlace {
    FolderHandle folder;
    std::string name;

    int Folder() const { return folder->fd.Get(); }
    // Opens the file beneath its folder (see OpenBeneath); never follows a
    // link at the name.
    int Open(int flags, mode_t mode = 0) const { return OpenBeneath(Folder(), name, flags, mode); }
    // The file at the name itself, a link not followed; none when nothing
    // is there.
    std::optional<struct stat> Status() const;
    // A key telling places apart: the folder's identity and the name.
    std::string Key() const;
};

// The place `path` names now: its folder opened as the path leads there
// (links followed), and its last component. None when that folder cannot
// be opened.
std::optional<SFilePlace> LocateFile(const std::string& path);

// The places a symbolic link at `place` leads through, followed link by
// link, each resolved from the folder holding it: every link's target in
// turn, the last being the first place that is no link (a file, or nothing
// at all). Empty when `place` is no link, and when the chain cannot be
// followed (a loop, a folder that cannot be opened).
std::vector<SFilePlace> LinkChain(const SFilePlace& place);

// Where a symbolic link at `place` leads, followed link by link, each
// resolved from the folder holding it, to the first file that is no link.
// When the chain does not end in an existing file (a dangling link, a
// loop, a folder that cannot be opened) it is `place` itself, which a
// writer then replaces. Also `place` itself when it is no link.
SFilePlace FollowLinks(const SFilePlace& place);

// Calls `act` with a descriptor of the folder open as `folder` (O_PATH will
// do) and each name listed in it, "." and ".." included. The listing is
// opened from `folder` itself, so that a name acted on through the
// descriptor is in that very folder. Nothing is called when it cannot be
// listed.
void ForEachName(int folder, const std::function<void(int listing, const dirent& entry)>& act);

// The names of the symbolic links in `folder` as it is listed now.
std::vector<std::string> LinksIn(const FolderHandle& folder);

// Creates a new file (`mode` as open(2) takes it, so less the umask) in
// `folder`, named after `pattern` with its last six characters, "XXXXXX",
// replaced by letters and digits, as mkostemp(3) does, but never through a
// link. Sets `name` to the name made and returns the descriptor, open for
// writing; -1 when none can be made.
int CreateUniqueFile(const FolderHandle& folder, const std::string& pattern, std::string& name,
                     mode_t mode = 0600);

// Deletes the file at `place` when it still is `expected` (a link is
// deleted itself). Returns true when it was deleted.
bool RemoveIfSame(const SFilePlace& place, const FileId& expected);

}  // namespace pellandrix
