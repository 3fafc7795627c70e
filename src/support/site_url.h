#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellandrix {

// A link as a browser splits it, before it is resolved against the page.
struct LinkParts {
    // Leads off the site: the link has a scheme ("https:", "mailto:",
    // "javascript:", "data:" ...) or starts with "//" (another host).
    bool external = false;
    // Up to the first "?" or "#", "\" turned into "/", not yet decoded.
    // Empty: the link points to the page it stands on.
    std::string path;
    // Behind the first "#", as written; none without a "#".
    std::optional<std::string> fragment;
};

// Splits the value of an href, src or srcset URL. Leading and trailing
// blanks and every tab and line break inside are dropped first, as a
// browser drops them.
LinkParts SplitLink(std::string_view url);

// `text` with every "%" followed by two hex digits replaced by the byte
// they name; any other "%" stays as it is.
std::string PercentDecoded(std::string_view text);

// The site path a link's `path` leads to from the site path `from` of the
// page (or of its base URL), both starting with "/": a path starting with
// "/" starts at the site's root, any other from the folder of `from`. The
// path is percent-decoded first ("%2F" too), then "." and ".." are
// removed; ".." at the root stays at the root, as in a browser. The result starts with "/" and
// ends with "/" when it names a folder. An empty `path` gives `from`.
std::string ResolveSitePath(std::string_view from, std::string_view path);

}  // namespace pellandrix
