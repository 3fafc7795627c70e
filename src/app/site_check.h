#pragma once

#include <string>
#include <vector>

#include "store/project_record.h"
#include "store/run_record.h"
#include "store/tpl_file_list.h"

namespace pellandrix {

// One thing `check` found, at a place an editor can jump to.
struct SiteFinding {
    // In the order the kinds are reported.
    enum class Kind { BrokenLink, StalePage, MissingInclude };
    Kind kind = Kind::BrokenLink;
    std::string file;  // as the run names it: relative to the working folder
    int line = 1;
    std::string text;  // German, for the user
    // The finding was dealt with already (a stale page deleted).
    bool settled = false;
    friend bool operator==(const SiteFinding&, const SiteFinding&) = default;
};

// How `check` goes.
struct CheckOptions {
    // Delete the stale pages that are exactly as a run wrote them first.
    bool removeStale = false;
};

// The extensions whose pages are read for links (html, htm, shtml, xhtml,
// in any case).
bool IsHtmlExtension(std::string_view extension);

// Every href, src and srcset of the pages the live entries of `files` keep
// (CreateFile set, an HTML extension, present on disk) that leads to no
// file in the site, or to an anchor the page it leads to does not have.
// Links with a scheme or a host are not followed. A site path starting
// with "/" starts at the project's target folder when the page lies in it
// or below it, else at the page's own target folder; a link to a folder
// needs its index page. Reads only.
std::vector<SiteFinding> FindBrokenLinks(const CProjectRecord& project, const CTplFileList& files);

// A file the run record says a run wrote, which no live entry of `files`
// keeps any more, and which is still there.
struct StalePage {
    enum class State {
        Ours,           // exactly as written: may be deleted
        Changed,        // changed since, or no longer a plain file: not ours
        OutsideTargets  // the output guard would not let it be deleted
    };
    std::string path;
    State state = State::Ours;
};

// The stale pages of `record`, by path. A file a live entry keeps (under
// any name that reaches the same file) is not stale, and neither is a
// file that is now a live entry's template. Reads only.
std::vector<StalePage> FindStalePages(const RunRecord& record, const CTplFileList& files);

// Deletes those of `pages` that are Ours while they still are exactly what
// `record` says a run wrote: each found beneath its target folder (see
// COutputGuard), its hash read through the descriptor it is checked by, and
// deleted only while that same file is at its name. Returns the paths
// deleted.
std::vector<std::string> RemoveStalePages(const std::vector<StalePage>& pages,
                                          const RunRecord& record, const CTplFileList& files);

// The finding that tells of `page`; `deleted` when it was removed.
SiteFinding StaleFinding(const StalePage& page, bool deleted);

// Every #include line of the live entries' templates, in any branch, whose
// file a run could not open: a plain file that cannot be opened, or an
// "x.tpl" that no live entry is named or whose template cannot be read. A
// run passes over such a line without a word. Reads only.
std::vector<SiteFinding> FindMissingIncludes(const CTplFileList& files);

}  // namespace pellandrix
