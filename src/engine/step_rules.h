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
//
// What holds for every step, done or taken from the record:
// - It starts on an empty define table: the run clears the table before
//   each entry's own pass, and nothing else carries names across steps.
// - Its observations come in reading order: the entry's template (Frame),
//   then per #include line the lookup (IncludedEntry), then either a copy
//   of the included page as it stands (InsertsVerbatim) or the included
//   template's own frame, after which, or after it could not be opened, the
//   mark (MarksForRegeneration); a frame's page is written when its
//   template has been read to the end, innermost first, the entry's own
//   last. A recorded trace is checked in that same order.
// - A Trace that CRunMemo::Recorded hands out lives in the memo until the
//   next call of Recorded; CRunMemo::Recording is valid only between
//   BeginStep and EndStep. Neither pointer is kept beyond.

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
