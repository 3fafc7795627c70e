#pragma once

#include <string>

namespace pellandrix {

// A template path as the user typed or chose it, split into the file's
// name and the folder it lies in, as an entry stores them: the folder has
// no trailing "/", is "." for a bare name and "/" for a file in the root.
struct TemplateLocation {
    std::string name;
    std::string folder;
};

// The one place a template path is split: `path` -> name and folder.
TemplateLocation SplitTemplatePath(const std::string& path);

// A key that is equal for every spelling of one file: its device and inode
// when it exists, otherwise its absolute, normalised path ("src/./x.tpl",
// "./src/x.tpl" and the absolute path are one file).
std::string FileIdentity(const std::string& path);

// Whether `a` and `b` name one file (equal FileIdentity).
bool SameFile(const std::string& a, const std::string& b);

// Whether `path` is a regular file (or a link to one).
bool IsRegularFile(const std::string& path);

}  // namespace pellandrix
