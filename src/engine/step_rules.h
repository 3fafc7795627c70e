#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "store/tpl_file_record.h"

namespace pellandrix {

// The rules of one step of a generation run (generating one entry in one
// pass) that both the parser, doing the step, and the replay, checking a
// recorded one, apply. Each is a pure function of the entries as they stand,
// so that a step taken from the record decides exactly as doing it would.
// What holds for every step is written at CStepRecorder.

// The live entries by TPLFileName, the first of each name (as
// CTplFileList::FindByName finds them).
using EntryIndex = std::unordered_map<std::string_view, CTplFileRecord*>;

// Where `entry`'s page is written: "<TargetPath>/<base>.<CreateFileExt>".
std::string OutputPath(const CTplFileRecord& entry);

// The entry an #include of template `name` (without ".tpl") finds; null
// for none.
CTplFileRecord* IncludedEntry(const EntryIndex& byName, std::string_view name);

// Whether an include copies `included`'s page as it stands instead of
// generating it again: it is not always parsed and, with `runStatus`, is
// done in this run.
bool InsertsVerbatim(const CTplFileRecord& included, int runStatus);

// Whether generating `included` inside another template (or failing to
// open it) means it must be generated once more on its own: it had its own
// pass already (`standaloneDone`) and is ticked and keeps its page.
bool MarksForRegeneration(const CTplFileRecord& included, int standaloneDone);

}  // namespace pellandrix
