#pragma once

#include <string>

namespace pellandrix {

// What a project's settings dialog or `add-project` hands over.
struct ProjectSettings {
    std::string name;
    std::string sourcePath;
    std::string targetPath;
    std::string extension;
};

// What a file's settings dialog or `add-file` hands over. The paths are
// those the user typed or chose; a path taken from the project ignores them.
struct FileSettings {
    std::string name;
    bool createFile = true;
    bool alwaysParse = true;
    bool sourceFromProject = true;
    bool targetFromProject = true;
    std::string extension;
    std::string sourcePath;
    std::string targetPath;
    bool selected = false;
};

}  // namespace pellandrix
