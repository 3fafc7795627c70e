#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/preview_site.h"
#include "support/file_calls.h"

namespace pellandrix {

// The answer to a request for a site file, before it goes on the wire.
struct PreviewReply {
    int status = 404;
    std::vector<std::pair<std::string, std::string>> headers;
    // The body, unless `file` is open: then its first `size` bytes are.
    std::string body;
    CFileDescriptor file;
    std::uint64_t size = 0;
};

// What a request asks for besides its path.
struct PreviewRequest {
    std::string_view rawPath;  // as sent, percent-encoded, without the query
    std::optional<std::string_view> ifNoneMatch;
    std::optional<std::string_view> ifModifiedSince;
};

// The answer for `request` from `site`; `runMark` names the server and the
// last run that had ended (see WithLiveScript):
//   - 404 for whatever CPreviewSite::Resolve does not find: for an HTML
//     page or a folder's index page that a run may still write (see
//     CPreviewSite::NotYetThere), a page with the live script, so that it
//     shows the runs' messages and reloads once a run wrote the page; for
//     anything else, paths refused for where they lead among them, a bare
//     page;
//   - a folder asked for without its final "/": 301 to the path with it;
//   - a folder: its index.html (or index.htm), else a listing of what it
//     holds but hidden files (the root's also names the other mounts);
//   - a file: 200 with its content type, ETag, Last-Modified and
//     "Cache-Control: no-cache"; an HTML page with the live script (its
//     ETag then also names `runMark`, so that a page served before a run is not
//     taken as current after it);
//   - 304 when If-None-Match names the ETag, or, without If-None-Match,
//     when If-Modified-Since is not before the file's modification.
PreviewReply FileReply(const CPreviewSite& site, const PreviewRequest& request,
                       std::string_view runMark);

// The HTTP date of `seconds` since the epoch ("Tue, 08 Dec 2026 04:33:08
// GMT"), and back: nothing for a text that is no such date.
std::string HttpDate(std::int64_t seconds);
std::optional<std::int64_t> ParseHttpDate(std::string_view text);

}  // namespace pellandrix
