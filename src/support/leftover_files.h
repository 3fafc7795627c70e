#pragma once

#include <string>
#include <vector>

namespace pellandrix {

// The hidden files a generated file is written through (CTextWriter's
// temporary files and the spares of CSpareFiles) are named
// ".<target name>.~pellandrix.<process id>.XXXXXX" beside the target. A
// process that is killed leaves them behind; the name says which process
// made them, so a later run can tell leftovers from files in use.

// The mkostemp template for a temporary file beside `target`. The target's
// name is cut (at a character boundary) so that the hidden name always fits
// a file name's length.
std::string TemporaryFileTemplate(const std::string& target);

// Removes from the folder open as `folder` (O_PATH will do) the regular
// files named by TemporaryFileTemplate for a process that no longer runs.
// Files of a live process (this one included), links, and every other name
// are left alone. Returns how many were removed.
int SweepLeftovers(int folder);

// The names of the files SweepLeftovers would remove from `folder` now,
// nothing removed: what a dry run announces.
std::vector<std::string> FindLeftovers(int folder);

}  // namespace pellandrix
