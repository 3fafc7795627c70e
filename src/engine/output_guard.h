#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/unchanged_paths.h"
#include "store/tpl_file_list.h"
#include "support/file_place.h"

namespace pellandrix {

// What a generation run may replace or delete. A run never touches a file
// that is the template of a live entry (a target folder may well be the
// source folder), and never replaces, writes into or deletes a file outside
// the target folders of the live entries, wherever a symbolic link leads.
// Files are compared as the file system finds them, so "./a/../a.tpl",
// links and hard links are all seen for what they are. The target folders
// are held open from Reset on, and a file the run may touch is handed out
// as its name in the target folder it was found in (an SFilePlace): a folder
// on the way swapped for a link afterwards cannot send the write or delete
// anywhere else.
class COutputGuard {
  public:
    enum class Verdict {
        Allowed,
        IsTemplate,      // the file is the template of a live entry
        OutsideTargets,  // the file lies, or a link at the path leads, outside
    };

    // A verdict, and where the run acts when it is Allowed.
    struct Decision {
        Verdict verdict = Verdict::Allowed;
        // The file's name in its target folder as held since Reset. None
        // when the path's folder does not exist: nothing can be written or
        // deleted there.
        std::optional<SFilePlace> place;
        // What was at the place when the guard looked (a link not
        // followed); none when nothing was.
        std::optional<FileId> found;
        // The same as fstatat found it, for a writer that goes on at once
        // (CTextWriter::Open); only for DecideWrite.
        std::optional<struct stat> status;
    };

    // Notes the templates and opens the target folders of the live entries
    // of `files` as they are now. What does not exist is not noted: a
    // missing template cannot be lost, and nothing can be written into a
    // missing folder.
    // A template `unchanged` vouches for is taken as the last Reset found
    // it, without a look (a watching caller's run; see IUnchangedPaths).
    void Reset(const CTplFileList& files, const IUnchangedPaths* unchanged = nullptr);
    // Whether the last Reset found the same templates (as files) and the
    // same target folders as the one before it: then a page that nothing
    // touched since gets the verdict it got then.
    bool SameAsBefore() const { return sameAsBefore_; }

    // Whether a run may put new text at `path`, and where: a link there is
    // followed, as the writer follows it, and the file it leads to must lie
    // in a target folder. So must a device or a pipe, which is written into
    // rather than replaced (a page path is no way to reach one elsewhere). A
    // dangling link is replaced itself. A path whose folder does not exist
    // is allowed: creating the file fails on its own.
    Decision DecideWrite(const std::string& path) const;
    Verdict CheckWrite(const std::string& path) const { return DecideWrite(path).verdict; }

    // Whether a run may delete `path`, and where. A link is deleted itself,
    // never what it points to, so only the path's own folder counts.
    Decision DecideDelete(const std::string& path) const;
    Verdict CheckDelete(const std::string& path) const { return DecideDelete(path).verdict; }

    // Whether `id` is a template's file as Reset found it (or a link that
    // is a template).
    bool IsTemplateFile(const FileId& id) const { return templates_.count(id) != 0; }

    // The target folders opened by Reset.
    const std::vector<FolderHandle>& TargetFolders() const { return folders_; }
    // The path of the target folder `id` as the first live entry naming it
    // wrote it; null for any other folder.
    const std::string* TargetPathOf(const FileId& id) const;

  private:
    bool IsTemplate(const std::optional<struct stat>& st) const;
    // LocateFile, looking up each target folder once per Reset.
    std::optional<SFilePlace> Locate(const std::string& path) const;
    // `place` as a name in the target folder it lies in; none outside them.
    std::optional<SFilePlace> InTargetFolder(const SFilePlace& place) const;

    // The files a template path was found to be (itself, and where a link
    // leads) by the Reset numbered `reset`.
    struct TemplateIds {
        FileId ids[2];
        int count = 0;
        std::uint64_t reset = 0;
    };
    void Look(const std::string& source, TemplateIds& found) const;
    bool NoteTemplates(const CTplFileList& files, const IUnchangedPaths* unchanged);

    // The templates as files, each with the number of the Reset that last
    // found it; kept between Resets, so that a run that finds them all as
    // before allocates nothing for them.
    std::unordered_map<FileId, std::uint64_t, FileIdHash> templates_;
    std::unordered_map<std::string, TemplateIds> templateIds_;
    std::uint64_t resets_ = 0;
    bool sameAsBefore_ = false;
    std::unordered_map<FileId, FolderHandle, FileIdHash> targets_;
    std::vector<FolderHandle> folders_;  // the same, in the entries' order
    std::unordered_map<FileId, std::string, FileIdHash> paths_;
    // Target folders by the path that led to them (a file's path up to its
    // last slash), as first found since Reset.
    mutable std::unordered_map<std::string, FolderHandle> located_;
};

}  // namespace pellandrix
