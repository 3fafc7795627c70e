#pragma once

#include <string>

#include "store/run_record.h"
#include "store/tpl_file_list.h"

namespace pellandrix {

// The run record of a project as text for users and bug reports: one block
// per step ("Schritt NAME, Durchgang N") listing in order what the step read
// (with the hash of what it found, "fehlt" for a file it could not open),
// which entries its #include lines found, which it marked to be generated
// again, and what it wrote; then the files the runs left, each with its hash
// and the step that wrote it last. Entries are named from `files` (by id
// when none of them has it). Hashes are 32 hexadecimal digits.
std::string RunRecordText(const RunRecord& record, const CTplFileList& files);

}  // namespace pellandrix
