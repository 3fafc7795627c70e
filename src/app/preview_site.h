#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/project_session.h"

namespace pellandrix {

// The URL space of the live preview: the project's target folders and
// nothing else. The first folder is the site's root "/"; every further one
// that does not lie inside an earlier one appears as "/~2/", "/~3/" ... in
// the order given.
class CPreviewSite {
  public:
    // `folders` absolute; duplicates and folders inside earlier ones are
    // dropped. Folders that do not exist (yet) are kept: they resolve
    // nothing until they are there.
    explicit CPreviewSite(const std::vector<std::string>& folders = {});

    // What a request path names, as it came in (percent-encoded).
    struct Found {
        std::string path;     // the real path of the file or folder
        std::string urlPath;  // the decoded site path it has, "/" for the root
        bool folder = false;
    };
    // Decodes `rawPath` once and finds the file or folder it names under a
    // root. Nothing when the path leaves the roots in any way: a "." or
    // ".." segment (encoded or not), a segment starting with "." (hidden
    // and temporary files), a backslash, a NUL, an empty segment, or a
    // symbolic link whose target lies outside the root; nor when it names
    // neither a regular file nor a folder.
    std::optional<Found> Resolve(std::string_view rawPath) const;

    // The decoded site path `rawPath` would have once a run writes the file
    // or folder it names, for a path that names nothing yet (a final "/"
    // kept). Nothing when Resolve would refuse it for where it leads or what
    // it is: the segments Resolve refuses, anything there under that name
    // (a link as well), or a nearest existing folder on its way that is no
    // folder or whose real path lies outside the root. So what it answers
    // tells nothing about files outside the roots.
    std::optional<std::string> NotYetThere(std::string_view rawPath) const;

    // The decoded site path of the absolute file `path`, or nothing when it
    // lies under no root (by its written path, not its real one).
    std::optional<std::string> UrlOf(const std::string& path) const;

    // The mount points besides "/" ("/~2/", ...), for the root's listing.
    std::vector<std::string> Mounts() const;

  private:
    struct Root {
        std::string prefix;  // "/" or "/~N/"
        std::string folder;  // lexically normal, no trailing "/"
    };
    // The root `rawPath` lies under and its written path there, lexically
    // normal; nothing for a segment Resolve refuses.
    struct Written {
        const Root* root = nullptr;
        std::string relative;  // decoded, as in the request
        std::string path;
    };
    std::optional<Written> Locate(std::string_view rawPath) const;
    std::vector<Root> roots_;
};

// The target folders of the current project's live entries, absolute
// (relative ones taken from `currentDir`): the project's own first, then
// the others in list order.
std::vector<std::string> PreviewFolders(const CProjectSession& session,
                                        const std::string& currentDir);

}  // namespace pellandrix
