#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pellandrix {

// The media type a browser needs for the file `path`, by its extension
// (any case): html, css, js, svg, images, fonts, txt, xml and a few more;
// "application/octet-stream" for any other.
std::string_view ContentTypeOf(std::string_view path);

// Whether the preview adds its live script to the file `path`: HTML pages.
bool TakesLiveScript(std::string_view path);

// Where the served copy of a page loads its live script from, and where
// that script listens. The leading "." keeps them apart from every site
// file, since no file whose name starts with "." is ever served.
inline constexpr std::string_view kLiveScriptPath = "/.pellandrix/live.js";
inline constexpr std::string_view kEventsPath = "/.pellandrix/events";

// `page` as served: one script element loading the live script, with the
// page's site path and `runMark` ("SERVER.RUN": which server served it and
// how many runs had ended when it was read), placed before the last "</body>" (any case), else
// before the last "</html>", else at the end. The page's own bytes stay as they are.
std::string WithLiveScript(std::string_view page, std::string_view sitePath,
                           std::string_view runMark);

// Whether a request's Host header names the loopback address the preview
// listens on: "127.0.0.1" or "localhost", with or without a port. Any other
// name may belong to a page elsewhere that had it point at 127.0.0.1 to
// read the site through the user's browser.
bool LoopbackHost(std::string_view host);

// The live script: it listens to the events, reloads the page when a run
// changed it or a file it loaded, and shows a run's messages over the page
// until a run without messages ends.
std::string_view LiveScript();

// A folder's listing as an HTML page: its site path as title, then one link
// per name (folders end with "/"), names escaped.
std::string FolderListing(std::string_view sitePath, const std::vector<std::string>& names);

// The page that stands in for the page at `sitePath` until a run writes
// it: "Seite nicht gefunden" and the path, escaped.
std::string NotFoundPage(std::string_view sitePath);

// `text` as a JSON string, quotes included.
std::string JsonString(std::string_view text);

}  // namespace pellandrix
