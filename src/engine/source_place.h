#pragma once

#include <string>
#include <vector>

namespace pellandrix {

// A place in a template: its path as the run opens it, and a line
// (numbered from 1, as in messages; 0 stands for the file as a whole).
struct SourcePlace {
    std::string path;
    int line = 0;
    friend bool operator==(const SourcePlace&, const SourcePlace&) = default;
};

// "path:line", or just "path" for the file as a whole.
std::string PlaceText(const SourcePlace& place);

// A message with where it happened, `places` innermost first, then the
// places that include it: "path:line: text" (or "path: text"), then one line
// "  eingebunden von path:line" per including place, lines separated by
// "\n" with none at the end. Without places, `text` as it is.
std::string PlacedMessage(const std::string& text, const std::vector<SourcePlace>& places);

}  // namespace pellandrix
