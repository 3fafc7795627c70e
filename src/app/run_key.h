#pragma once

#include <string>

#include "store/project_record.h"

namespace pellandrix {

// What a generation run of `project` depends on as a whole: the record's
// format, the project's settings and the extension list (read from the
// working folder). An incremental run trusts a record only under the same
// key.
std::string RunKey(const CProjectRecord& project);

// Why `recorded`, the key of the last run's record, is not the key of
// `project` now, naming the first setting that differs and its old and new
// value (as --explain shows it); empty when the keys are equal or nothing
// was recorded.
std::string RunKeyChange(const std::string& recorded, const CProjectRecord& project);

}  // namespace pellandrix
