#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_set>

#include "store/tpl_file_list.h"
#include "support/spare_files.h"

namespace pellandrix {

// What a generation run may replace or delete. A run never touches a file
// that is the template of a live entry (a target folder may well be the
// source folder), and never replaces or deletes a file outside the target
// folders of the live entries, wherever a symbolic link leads. Paths are
// compared as the file system resolves them, so "./a/../a.tpl", links and
// hard links are all seen for what they are.
class COutputGuard {
  public:
    enum class Verdict {
        Allowed,
        IsTemplate,      // the file is the template of a live entry
        OutsideTargets,  // the file lies, or a link at the path leads, outside
    };

    // Notes the templates and the target folders of the live entries of
    // `files` as they are now. What does not exist is not noted: a missing
    // template cannot be lost, and nothing can be written into a missing
    // folder.
    void Reset(const CTplFileList& files);

    // Whether a run may put new text at `path`, replacing what is there (a
    // link is followed, as the writer follows it). A link to a device or a
    // pipe is allowed wherever it leads: the text is written into it, nothing
    // is replaced. A path whose folder does not exist is allowed: creating
    // the file fails on its own.
    Verdict CheckWrite(const std::string& path) const;

    // Whether a run may delete `path`. A link is deleted itself, never what
    // it points to, so only the path's own folder counts.
    Verdict CheckDelete(const std::string& path) const;

    // The target folders noted by Reset, resolved.
    const std::unordered_set<std::string>& TargetFolders() const { return targets_; }

  private:
    Verdict CheckFolderOf(const std::string& path) const;

    std::unordered_set<FileId, FileIdHash> templates_;
    std::unordered_set<std::string> targets_;
};

}  // namespace pellandrix
