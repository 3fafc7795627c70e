#pragma once

#include <cstddef>
#include <string_view>

namespace pellandrix {

// The HTML parser's work grows with the square of a page's nesting depth
// (each tag looks through the open elements), and it frees its tree
// recursively: a page of 100,000 nested elements takes minutes. Pages are
// measured with this cheap scan before they are parsed.

// True when the page `bytes` may nest elements deeper than `limit`. Reads
// tags as a browser does in the ways that decide the depth (comments, raw
// text elements such as script, void elements, "/>" inside svg and math,
// an end tag closing what it matches, a p, li, dt, dd, option, tr, td or th
// closing its unclosed predecessor, a tr its open cell), and counts high where it does not:
// an element closed only by a rule left out here still counts as open.
bool NestsDeeperThan(std::string_view bytes, std::size_t limit);

}  // namespace pellandrix
