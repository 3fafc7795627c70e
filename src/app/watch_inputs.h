#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/generate_options.h"
#include "support/folder_watch.h"

namespace pellandrix {

class CProjectRecord;
class CTplFileList;

// The folder a path names a file in, spelled as in the path ("." for a
// bare name), and the file's name there.
std::string_view FolderPart(std::string_view path);
std::string_view NamePart(std::string_view path);

// Every name a file is reached under: `path` itself, then the target of
// each symbolic link on the way, in turn (a template may link to a file in
// a folder of its own, which is where it is edited).
std::vector<std::string> LinkChain(const std::string& path);

// What to watch after a run.
struct WatchTargets {
    // The folders of every file the run read and of each link on its way
    // (of a missing file too, whose coming is a change), the source and
    // target folders of the live entries (a page deleted or edited by hand
    // is no longer what the record says), and the database's folder, where
    // another process changes the entries.
    std::set<std::string> folders;
    // The inputs that have further names (hard links): written under a
    // name in another folder, only a watch of the file itself sees it.
    std::set<std::string> files;
    // The inputs reached through symbolic links, with their LinkChain: a
    // change to any name on the way is a change to the input.
    std::map<std::string, std::vector<std::string>> links;
};
// `database` may be empty: only this program changes the entries.
// `knownPlain` tells of an input known to be a plain file with one name,
// which needs no look at the disk.
WatchTargets WhatToWatch(const RunInputs& inputs, const CTplFileList& files,
                         const std::string& database,
                         const std::function<bool(const std::string&)>& knownPlain = nullptr);

// Whether a file the last run read now holds other text than it read (or
// appeared, or went). Only the inputs `touched` may concern are read again
// (by any name of theirs: their own, or those `links` gives, as
// WhatToWatch found them), all of them when it says everything may have
// changed. A file touched but unchanged is no change.
bool InputsChanged(const RunInputs& inputs, const CFolderWatch::Touched& touched,
                   const std::map<std::string, std::vector<std::string>>& links);

// Whether `touched` may concern the database file (or its journal).
bool DatabaseTouched(const std::string& database, const CFolderWatch::Touched& touched);

// The project's settings and live entries as a run takes them, as one
// text: two that differ may give other pages. Statuses and list rows are
// left out, since runs and the window change them themselves.
std::string EntriesKey(const CProjectRecord* project, const CTplFileList& files);

}  // namespace pellandrix
