#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace pellandrix {

// What a link check needs of one HTML page, read with an HTML5 parser the
// way a browser reads it (broken markup, entities, <template> contents).
struct HtmlPage {
    struct Reference {
        std::string url;  // entities decoded, otherwise as written
        int line = 0;     // the line of the page its attribute starts on
    };
    // Every href and src value and every URL of a srcset, in page order.
    // The href of a base element is not among them: it is `base`.
    std::vector<Reference> references;
    // What a "#fragment" can name: the id of any element and the name of
    // any a element.
    std::unordered_set<std::string> anchors;
    // The href of the first base element that has one.
    std::optional<std::string> base;
    // The page may nest elements deeper than kMaxHtmlDepth: it was not
    // parsed, and nothing above was taken from it.
    bool tooDeep = false;
};

// Far deeper than any page a person or a template makes (browsers stop
// nesting at a few hundred), shallow enough to parse at once.
inline constexpr std::size_t kMaxHtmlDepth = 2000;

// Reads the page `bytes` (UTF-8; a byte that is not becomes U+FFFD), unless
// it nests too deep (NestsDeeperThan kMaxHtmlDepth).
HtmlPage ReadHtmlPage(std::string_view bytes);

// The URLs of a srcset value, each candidate's URL without its width or
// density descriptor, in order.
std::vector<std::string> SrcsetUrls(std::string_view srcset);

}  // namespace pellandrix
