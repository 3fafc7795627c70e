#pragma once

#include <string>

namespace pellandrix {

// A place in a template: its path as the run opens it, and a line
// (numbered from 1, as in messages; 0 stands for the file as a whole).
struct SourcePlace {
    std::string path;
    int line = 0;
    friend bool operator==(const SourcePlace&, const SourcePlace&) = default;
};

}  // namespace pellandrix
