#pragma once

#include <set>
#include <string>

#include "app/generate_options.h"
#include "support/folder_watch.h"

namespace pellandrix {

class CTplFileList;

// The folders to watch after a run: those of every file it read (of a
// missing one too, whose coming is a change) and the source folders of the
// live entries.
std::set<std::string> FoldersToWatch(const RunInputs& inputs, const CTplFileList& files);

// Whether a file the last run read now holds other text than it read (or
// appeared, or went). Only the inputs named like a file in `touched` are
// read again, all of them when `touched` says everything may have changed.
// A file touched but unchanged is no change.
bool InputsChanged(const RunInputs& inputs, const CFolderWatch::Touched& touched);

}  // namespace pellandrix
