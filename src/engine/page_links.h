#pragma once

#include <string>
#include <unordered_map>

#include "engine/output_guard.h"
#include "engine/run_files.h"

namespace pellandrix {

// Every symbolic link in the target folders `guard` holds open, by its path
// in its folder as the guard names the folder, with the places it leads
// through as paths the same way. A link that leaves the target folders, or
// that cannot be followed, is left out: it leads where no run writes, or a
// writer replaces it as a dangling one.
std::unordered_map<std::string, CRunFiles::Link> FindPageLinks(const COutputGuard& guard);

}  // namespace pellandrix
